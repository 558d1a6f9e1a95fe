// Passwords in database URLs: masked in every form libpq takes them in, and found so that
// the command line can refuse them.

#include <ostream>

#include <gtest/gtest.h>

#include "server/store/DatabaseUrl.h"

namespace {

struct UrlCase {
    const char* name;
    std::string url;
    std::string shown;
    bool password;
};

// How GoogleTest prints a case: its name, not its bytes.
void PrintTo(const UrlCase& c, std::ostream* os) {
    *os << c.name;
}

class PasswordInUrl : public testing::TestWithParam<UrlCase> {};

TEST_P(PasswordInUrl, IsMaskedAndFound) {
    const UrlCase& c = GetParam();
    EXPECT_EQ(server::redactUrl(c.url), c.shown);
    EXPECT_EQ(server::hasPassword(c.url), c.password);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, PasswordInUrl,
    testing::Values(
        UrlCase{"user_part", "postgresql://vnd:segredo@db:5432/vnd",
                "postgresql://vnd:***@db:5432/vnd", true},
        UrlCase{"short_scheme", "postgres://vnd:segredo@db/vnd", "postgres://vnd:***@db/vnd",
                true},
        UrlCase{"no_password", "postgresql://vnd@db/vnd", "postgresql://vnd@db/vnd", false},
        UrlCase{"port_but_no_user", "postgresql://db:5432/vnd", "postgresql://db:5432/vnd",
                false},
        UrlCase{"empty_password", "postgresql://vnd:@db/vnd", "postgresql://vnd:@db/vnd", false},
        UrlCase{"at_sign_in_password", "postgresql://vnd:se@gredo@db/vnd",
                "postgresql://vnd:***@db/vnd", true},
        UrlCase{"question_mark_in_password", "postgresql://vnd:se?gredo@db/vnd",
                "postgresql://vnd:***@db/vnd", true},
        UrlCase{"query_parameter", "postgresql://vnd@db/vnd?sslmode=require&password=segredo",
                "postgresql://vnd@db/vnd?sslmode=***&password=***", true},
        UrlCase{"query_parameter_first", "postgresql://db/vnd?password=segredo&user=vnd",
                "postgresql://db/vnd?password=***&user=***", true},
        UrlCase{"query_key_percent_encoded", "postgresql://vnd@db/vnd?%70assword=segredo",
                "postgresql://vnd@db/vnd?%70assword=***", true},
        UrlCase{"query_key_with_upper_case_escape", "postgresql://db/vnd?sslmode=require&passw%6Frd=x",
                "postgresql://db/vnd?sslmode=***&passw%6Frd=***", true},
        UrlCase{"both_places", "postgresql://vnd:um@db/vnd?password=dois",
                "postgresql://vnd:***@db/vnd?password=***", true},
        UrlCase{"other_parameter_ending_in_password",
                "postgresql://db/vnd?application_name=xpassword=1",
                "postgresql://db/vnd?application_name=***", false},
        UrlCase{"key_value", "host=db user=vnd password=segredo dbname=vnd",
                "host=db user=vnd password=*** dbname=vnd", true},
        UrlCase{"key_value_quoted", "host=db password = 'se gre\\'do' dbname=vnd",
                "host=db password = '***' dbname=vnd", true},
        UrlCase{"key_value_first", "password=segredo host=db", "password=*** host=db", true},
        UrlCase{"key_value_without_password", "host=db passfile=/x dbname=vnd",
                "host=db passfile=/x dbname=vnd", false},
        UrlCase{"sqlite_path_like_a_user_part", "sqlite:/tmp/a:b@c.db", "sqlite:/tmp/a:b@c.db",
                false},
        UrlCase{"sqlite_path_with_password_word", "sqlite:/tmp/x password=y.db",
                "sqlite:/tmp/x password=y.db", false},
        UrlCase{"plain_argument", "0001", "0001", false}),
    [](const testing::TestParamInfo<UrlCase>& p) { return std::string(p.param.name); });

// libpq repeats what it cannot parse: the whole URI or only the password.
TEST(PasswordInMessage, EveryCopyOfThePasswordIsMasked) {
    const std::string url = "postgresql://vnd:s%zzegredo@[::1/vnd";
    EXPECT_EQ(server::maskPasswords("bad URI: \"" + url + "\"", url),
              "bad URI: \"postgresql://vnd:***@[::1/vnd\"");
    EXPECT_EQ(server::maskPasswords("invalid percent-encoded token: \"s%zzegredo\"", url),
              "invalid percent-encoded token: \"***\"");
    EXPECT_EQ(server::maskPasswords("connection refused", url), "connection refused");
}

}  // namespace
