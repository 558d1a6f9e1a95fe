// The CSV file: escaping, the byte-order mark, and no half file after a failure.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "inquiry/CsvFile.h"

namespace {

using vnd::CsvFile;

struct LineCase {
    std::vector<std::string> fields;
    const char* line;
};

class CsvLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(CsvLine, QuotesWhatWouldSplitAFieldAndDisarmsFormulas) {
    EXPECT_EQ(CsvFile::line(GetParam().fields), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CsvLine,
    ::testing::Values(LineCase{{"0001", "ARROZ", "2,00"}, "0001;ARROZ;2,00"},
                      LineCase{{"a;b", "diz \"oi\"", "duas\nlinhas"}, "\"a;b\";\"diz \"\"oi\"\"\";\"duas\nlinhas\""},
                      LineCase{{" lado", ""}, "\" lado\";"},
                      LineCase{{"=SOMA(A1)", "+1", "@x", "-2,50", "-x"}, "'=SOMA(A1);'+1;'@x;-2,50;'-x"}));

std::string contentOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(CsvFileTest, WritesTheMarkThenCrLfLinesAndKeepsACommittedFile) {
    const auto path = std::filesystem::temp_directory_path() / "inquiry_csv_test_ok.csv";
    {
        CsvFile file(path.string());
        file.write({"Produto", "Preço"});
        file.write({"01.01.001", "2,00"});
        EXPECT_EQ(file.lines(), 2);
        file.commit();
    }
    EXPECT_EQ(contentOf(path), "\xEF\xBB\xBFProduto;Preço\r\n01.01.001;2,00\r\n");
    std::filesystem::remove(path);
}

TEST(CsvFileTest, AnExportThatDidNotFinishLeavesNoFile) {
    const auto path = std::filesystem::temp_directory_path() / "inquiry_csv_test_cut.csv";
    try {
        CsvFile file(path.string());
        file.write({"a"});
        throw std::runtime_error("a página falhou");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_THROW(CsvFile("/nonexistent-folder/x.csv"), std::runtime_error);
}

}  // namespace
