// Peak resident memory of the server storing a million-row rule, and of a client holding
// the product list.
//
//   vnd-bench-memory server --port P --pid PID --rows N   (a running vnd-server)
//   vnd-bench-memory client --localdb FILE                (a local database to load)

#include <cstdio>
#include <cstring>

#include "BenchClient.h"
#include "BenchSupport.h"
#include "Lib00210.h"
#include "data/ClientDataSet.h"
#include "data/DataModule.h"
#include "forms/Application.h"
#include "forms/Form.h"

namespace {

std::string option(int argc, char** argv, const char* name) {
    for (int i = 2; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) {
            return argv[i + 1];
        }
    }
    return {};
}

int serverPeak(int argc, char** argv) {
    const auto port = static_cast<unsigned short>(std::stoi(option(argc, argv, "--port")));
    const long pid = std::stol(option(argc, argv, "--pid"));
    const bench::RuleShape shape = bench::shapeForRows(std::stol(option(argc, argv, "--rows")));
    const double before = bench::peakResidentMiB(pid);
    {
        bench::BenchClient client(port);
        const long stored = bench::storedRows(
            client.call("SetPrecDif", bench::listRule(bench::productCodes(shape.products), shape)));
        if (stored != shape.rows()) {
            std::fprintf(stderr, "memory: the server stored %ld rows of %ld\n", stored,
                         shape.rows());
            return 1;
        }
    }
    std::printf("memory: server peak %.1f MiB storing %ld rows (%.1f MiB before; target 200)\n",
                bench::peakResidentMiB(pid), shape.rows(), before);
    return 0;
}

int clientPeak(int argc, char** argv) {
    vol::DataModule dm;
    dm.open(option(argc, argv, "--localdb"));
    vol::Application::instance().setDataModule(&dm);
    vol::Form form(vol::Application::instance(), "frmBench");
    auto& products = form.makeComponent<vol::ClientDataSet>("cdsProduto");
    for (auto [field, size] :
         {std::pair{"IDMARCADO", 1}, {"CDPRODUTO", 10}, {"CDARVPROD", 20}, {"NMPRODUTO", 50}}) {
        vol::FieldDef def;
        def.name = field;
        def.size = size;
        products.addField(def);
    }
    lib::SQL_Pesquisa_Produto_CDS("0001", products);
    std::printf("memory: client peak %.1f MiB holding %d products (target 100)\n",
                bench::peakResidentMiB(), products.recordCount());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc > 1 && std::strcmp(argv[1], "server") == 0) {
            return serverPeak(argc, argv);
        }
        if (argc > 1 && std::strcmp(argv[1], "client") == 0) {
            return clientPeak(argc, argv);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "memory: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr,
                 "usage: vnd-bench-memory server --port P --pid PID --rows N\n"
                 "       vnd-bench-memory client --localdb FILE\n");
    return 2;
}
