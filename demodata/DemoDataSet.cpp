#include "DemoDataSet.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>
#include <string_view>

namespace demo {

namespace {

// A hundred everyday grocery items; the first two are the ones examples name.
constexpr std::array<std::string_view, 100> kNames = {
    "ARROZ BRANCO TIPO 1 5KG", "FEIJÃO CARIOCA 1KG", "AÇÚCAR CRISTAL 5KG",
    "CAFÉ TORRADO E MOÍDO 500G", "ÓLEO DE SOJA 900ML", "SAL REFINADO 1KG",
    "FARINHA DE TRIGO 1KG", "MACARRÃO ESPAGUETE 500G", "LEITE UHT INTEGRAL 1L",
    "FEIJÃO PRETO 1KG", "ARROZ PARBOILIZADO 5KG", "FARINHA DE MANDIOCA 1KG",
    "FUBÁ MIMOSO 1KG", "MACARRÃO PARAFUSO 500G", "MOLHO DE TOMATE 340G",
    "EXTRATO DE TOMATE 190G", "MILHO VERDE EM CONSERVA 200G", "ERVILHA EM CONSERVA 200G",
    "SARDINHA EM ÓLEO 125G", "ATUM RALADO 170G", "LEITE CONDENSADO 395G",
    "CREME DE LEITE 200G", "ACHOCOLATADO EM PÓ 400G", "BISCOITO CREAM CRACKER 400G",
    "BISCOITO MAISENA 400G", "BISCOITO RECHEADO CHOCOLATE 140G", "PÃO DE FORMA 500G",
    "MARGARINA COM SAL 500G", "MANTEIGA COM SAL 200G", "QUEIJO MUÇARELA FATIADO 150G",
    "PRESUNTO FATIADO 200G", "IOGURTE NATURAL 170G", "REQUEIJÃO CREMOSO 200G",
    "OVOS BRANCOS DÚZIA", "FRANGO CONGELADO KG", "CARNE MOÍDA PATINHO KG",
    "LINGUIÇA TOSCANA KG", "SALSICHA HOT DOG KG", "BATATA INGLESA KG", "CEBOLA KG",
    "ALHO NACIONAL 200G", "TOMATE ITALIANO KG", "BANANA PRATA KG", "MAÇÃ GALA KG",
    "LARANJA PERA KG", "LIMÃO TAHITI KG", "MAMÃO FORMOSA KG", "CENOURA KG",
    "ALFACE CRESPA UN", "VINAGRE DE ÁLCOOL 750ML", "AZEITE EXTRA VIRGEM 500ML",
    "MAIONESE 500G", "KETCHUP 400G", "MOSTARDA 200G", "TEMPERO COMPLETO 300G",
    "CALDO DE GALINHA 57G", "GELATINA MORANGO 35G", "FERMENTO EM PÓ 100G",
    "AVEIA EM FLOCOS 200G", "GRANOLA TRADICIONAL 800G", "CHÁ MATE 250G",
    "SUCO DE UVA INTEGRAL 1L", "REFRIGERANTE COLA 2L", "REFRIGERANTE GUARANÁ 2L",
    "ÁGUA MINERAL SEM GÁS 1,5L", "CERVEJA PILSEN LATA 350ML", "SUCO EM PÓ LARANJA 25G",
    "PAPEL HIGIÊNICO FOLHA DUPLA 12UN", "SABÃO EM PÓ 1KG", "DETERGENTE LÍQUIDO 500ML",
    "ÁGUA SANITÁRIA 1L", "AMACIANTE DE ROUPAS 2L", "DESINFETANTE LAVANDA 2L",
    "ESPONJA DE LOUÇA 3UN", "SABÃO EM BARRA 5UN", "LIMPADOR MULTIUSO 500ML",
    "SACO DE LIXO 50L 10UN", "PAPEL TOALHA 2UN", "GUARDANAPO DE PAPEL 50UN",
    "CREME DENTAL 90G", "SABONETE 90G", "XAMPU 350ML", "CONDICIONADOR 350ML",
    "DESODORANTE AEROSOL 150ML", "ESCOVA DENTAL MACIA", "FRALDA DESCARTÁVEL M 30UN",
    "ABSORVENTE COM ABAS 8UN", "ALGODÃO 50G", "FÓSFORO 10 CAIXAS", "VELA BRANCA 8UN",
    "PILHA ALCALINA AA 2UN", "LÂMPADA LED 9W", "RAÇÃO PARA CÃES 1KG",
    "CHOCOLATE AO LEITE 90G", "BALA DE GOMA 100G", "PIPOCA PARA MICRO-ONDAS 100G",
    "AMENDOIM TORRADO 500G", "BATATA PALHA 100G", "MILHO PARA PIPOCA 500G",
    "DOCE DE LEITE 400G",
};

// Invented house brands that tell apart the items of larger sets.
constexpr std::array<std::string_view, 8> kBrands = {
    "BOM GOSTO", "SABOR DO CAMPO", "VALE VERDE", "DONA NENA",
    "SOL NASCENTE", "BOA MESA", "TERRA BOA", "CASA NOSSA",
};

int digits(int n) {
    int count = 1;
    while (n >= 10) {
        n /= 10;
        ++count;
    }
    return count;
}

std::string zeroPadded(int value, int width) {
    std::string text = std::to_string(value);
    if (static_cast<int>(text.size()) < width) {
        text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
    }
    return text;
}

Branch makeBranch(std::string code, std::string name, std::string segmentCode,
                  std::string segment, std::string differentiated) {
    return Branch{std::move(code),          std::move(name), std::move(segmentCode),
                  std::move(segment),       std::move(differentiated),
                  "0000000001",             "MERCEARIA",     "N"};
}

// NMPRODUTO holds 50 characters; the suffixes of large sets must not push a name past it.
constexpr std::size_t kNameWidth = 50;

// Cuts a UTF-8 text to at most width characters, never inside a character.
std::string fitToWidth(const std::string& text, std::size_t width) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (chars == width) return text.substr(0, i);
            ++chars;
        }
    }
    return text;
}

// p percent of an amount in cents, rounded to the cent half away from zero, all in
// whole numbers: a binary fraction never gets between the price and its rounding.
long long percentOf(long long cents, int percent) {
    const long long scaled = cents * percent;
    return scaled >= 0 ? (scaled + 50) / 100 : -((-scaled + 50) / 100);
}

// The holidays of every branch that fall on the same date each year.
struct FixedHoliday {
    const char* monthDay;
    const char* name;
};
constexpr std::array<FixedHoliday, 9> kFixedHolidays = {{
    {"01-01", "Confraternização Universal"},
    {"04-21", "Tiradentes"},
    {"05-01", "Dia do Trabalho"},
    {"09-07", "Independência do Brasil"},
    {"10-12", "Nossa Senhora Aparecida"},
    {"11-02", "Finados"},
    {"11-15", "Proclamação da República"},
    {"11-20", "Dia da Consciência Negra"},
    {"12-25", "Natal"},
}};

// The holidays that move with Easter, year by year.
struct MovableHolidays {
    int year;
    const char* carnivalMonday;
    const char* carnivalTuesday;
    const char* goodFriday;
    const char* corpusChristi;
};
constexpr std::array<MovableHolidays, 3> kMovableHolidays = {{
    {2025, "03-03", "03-04", "04-18", "06-19"},
    {2026, "02-16", "02-17", "04-03", "06-04"},
    {2027, "02-08", "02-09", "03-26", "05-27"},
}};

// Branch 0001's city anniversary, each year.
constexpr const char* kCityAnniversary = "01-25";

std::vector<Holiday> makeHolidays() {
    std::vector<Holiday> out;
    for (const MovableHolidays& y : kMovableHolidays) {
        out.push_back({"0001", std::to_string(y.year) + "-" + kCityAnniversary,
                       "Aniversário da Cidade"});
    }
    for (const MovableHolidays& y : kMovableHolidays) {
        const std::string year = std::to_string(y.year) + "-";
        std::vector<Holiday> ofYear;
        for (const FixedHoliday& f : kFixedHolidays) {
            ofYear.push_back({"T", year + f.monthDay, f.name});
        }
        ofYear.push_back({"T", year + y.carnivalMonday, "Carnaval"});
        ofYear.push_back({"T", year + y.carnivalTuesday, "Carnaval"});
        ofYear.push_back({"T", year + y.goodFriday, "Sexta-feira Santa"});
        ofYear.push_back({"T", year + y.corpusChristi, "Corpus Christi"});
        std::sort(ofYear.begin(), ofYear.end(),
                  [](const Holiday& a, const Holiday& b) { return a.date < b.date; });
        out.insert(out.end(), ofYear.begin(), ofYear.end());
    }
    return out;
}

// The base prices of every product each branch sells, table by table and period by
// period, in ITEMPREC's key order (periods and the assortment are in that order).
std::vector<BasePrice> makeBasePrices(const DataSet& set) {
    std::vector<BasePrice> out;
    for (const ValidityPeriod& period : set.periods) {
        const int year = std::stoi(period.start.substr(0, 4));
        for (const BranchLink& sold : set.assortment) {
            if (sold.branch != period.branch) {
                continue;
            }
            const long long cents = basePriceCents(std::stoi(sold.code), period.table, year);
            out.push_back({period.branch, period.table, period.start, sold.code,
                           static_cast<double>(cents) / 100.0});
        }
    }
    return out;
}

}  // namespace

long long basePriceCents(int product, const std::string& table, int year) {
    if (product < 1) {
        throw std::invalid_argument("product numbers start at 1");
    }
    const long long retail = 299 + (static_cast<long long>(product) * 7919) % 4900;
    const long long ofTable = table == "002" ? percentOf(retail, 90) : retail;
    switch (year) {
        case 2025: return percentOf(ofTable, 95);
        case 2026: return ofTable;
        case 2027: return percentOf(ofTable, 104);
        default: throw std::invalid_argument("the demo has price periods in 2025 to 2027 only");
    }
}

Product makeProduct(int i, int total) {
    if (i < 1) {
        throw std::invalid_argument("product numbers start at 1");
    }
    // Group, subgroup and item keep their documented widths (2, 2, 3) up to 999 products;
    // larger sets widen every code alike, so that codes still sort as the numbers do.
    const int last = total > i ? total : i;
    const int groupWidth = std::max(2, digits(1 + (last - 1) / 100));
    const int itemWidth = std::max(3, digits(last));
    Product product;
    product.code = zeroPadded(i, 10);
    product.treeCode = zeroPadded(1 + (i - 1) / 100, groupWidth) +
                       zeroPadded(1 + ((i - 1) % 100) / 10, 2) + zeroPadded(i, itemWidth);
    const auto base = static_cast<std::size_t>((i - 1) % static_cast<int>(kNames.size()));
    const auto cycle = static_cast<std::size_t>((i - 1) / static_cast<int>(kNames.size()));
    std::string suffix;
    if (cycle > 0) {
        suffix += ' ';
        suffix += kBrands[(cycle - 1) % kBrands.size()];
        if (cycle > kBrands.size()) {
            suffix += ' ' + std::to_string(1 + (cycle - 1) / kBrands.size());
        }
    }
    // The base name gives way, so the brand and number that tell items apart stay whole.
    product.name = fitToWidth(std::string(kNames[base]), kNameWidth - suffix.size()) + suffix;
    return product;
}

DataSet makeDataSet(int products) {
    if (products < 0) {
        throw std::invalid_argument("the product count cannot be negative");
    }
    DataSet set;
    set.branches = {
        makeBranch("0001", "Loja Centro", "00001", "SUPERMERCADO", "S"),
        makeBranch("0002", "Loja Norte", "00001", "SUPERMERCADO", "S"),
        makeBranch("0003", "Depósito Sul", "00002", "CENTRO DE DISTRIBUIÇÃO", "N"),
    };
    set.priceTables = {
        {"0001", "001", "Varejo"},
        {"0001", "002", "Atacado"},
        {"0002", "001", "Varejo"},
    };
    for (const PriceTable& table : set.priceTables) {
        set.periods.push_back({table.branch, table.code, "2025-01-01", "2025-12-31"});
        set.periods.push_back({table.branch, table.code, "2026-01-01", "2026-12-31"});
        set.periods.push_back({table.branch, table.code, "2027-01-01", "2027-06-30"});
    }
    set.products.reserve(static_cast<std::size_t>(products));
    for (int i = 1; i <= products; ++i) {
        set.products.push_back(makeProduct(i, products));
    }
    // Branch 0001 sells everything, 0002 the first half, 0003 (a warehouse) nothing.
    for (const Product& product : set.products) {
        set.assortment.push_back({"0001", product.code});
    }
    for (int i = 0; i < products / 2; ++i) {
        set.assortment.push_back({"0002", set.products[static_cast<std::size_t>(i)].code});
    }
    set.consumerTypes = {
        {"01", "Varejo"}, {"02", "Atacado"}, {"03", "Funcionário"}, {"04", "Fidelidade"}};
    set.consumerTypeBranches = {{"0001", "01"}, {"0001", "02"}};
    set.basePrices = makeBasePrices(set);
    set.holidays = makeHolidays();
    return set;
}

}  // namespace demo
