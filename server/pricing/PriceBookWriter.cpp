#include "server/pricing/PriceBookWriter.h"

#include <cstdlib>
#include <iomanip>
#include <ostream>

#include "server/pricing/CsvCell.h"
#include "server/pricing/Decimal4.h"
#include "server/pricing/Money.h"
#include "server/pricing/RuleText.h"

namespace server {

namespace {

std::string cents(const std::optional<long long>& value, bool csv) {
    if (!value) {
        return "";
    }
    return csv ? decimalText(*value) : moneyText(*value);
}

}  // namespace

PriceBookWriter::PriceBookWriter(std::ostream& out, const PriceMoment& at, bool csv)
    : out_(out), csv_(csv) {
    if (csv) {
        out << "CDPRODUTO;CDARVPROD;NMPRODUTO;VRPRECO;VRPRECOVIG;IDDIA;CDTIPOCONS;HRINI;HRFIN;"
               "DTINIVALID;DTFINVALID;IDDESCACRE;IDVALPERC;VRPRECDIF;IDVISUALIZA\n";
    } else if (!at.period) {
        out << "Nenhuma vigência da tabela " << at.table << " em " << shortDate(at.moment.date)
            << ": sem preços.\n";
    }
}

void PriceBookWriter::add(const PricedProduct& p, const RuleRow* r, const PriceResult& price) {
    std::ostream& out = out_;
    const std::optional<long long> base =
        p.base ? std::optional(Decimal4::fromDouble(*p.base).roundedCents()) : std::nullopt;
    if (csv_) {
        out << p.code << ';' << p.treeCode << ';' << csvCell(p.name) << ';' << cents(base, true)
            << ';' << cents(price.cents, true);
        if (r != nullptr) {
            const long long amount = Decimal4::fromDouble(r->amount).units();
            std::string amountText = std::to_string(amount / 10000) + "," +
                                     (std::to_string(10000 + std::llabs(amount % 10000)).substr(1));
            out << ';' << r->day << ';' << r->consumerType << ';' << r->timeStart << ';'
                << r->timeEnd << ';' << shortDate(r->validFrom) << ';' << shortDate(r->validTo)
                << ';' << columnValue(r->adjustment) << ';' << columnValue(r->amountKind)
                << ';' << amountText << ';' << columnValue(r->display);
        } else {
            out << ";;;;;;;;;;";
        }
        out << '\n';
        return;
    }
    out << p.code << "  " << std::left << std::setw(9) << p.treeCode << std::right << "  "
        << std::setw(12) << (base ? "R$ " + moneyText(*base) : std::string("sem preço"))
        << "  " << std::setw(12)
        << (price.cents ? "R$ " + moneyText(*price.cents) : std::string("-")) << "  "
        << p.name;
    if (r != nullptr) {
        out << "  [regra " << r->day << '/' << r->consumerType << ' ' << r->timeStart << '-'
            << r->timeEnd << ']';
    }
    out << '\n';
}

}  // namespace server
