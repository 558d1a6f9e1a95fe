#include "server/store/StoredCounts.h"

namespace server {

StoredCounts StoredCounts::fromColumns(const std::array<long, kTables>& n) {
    return {n[0], n[1], n[2], n[3], n[4], n[5], n[6], n[7], n[8], n[9], n[10]};
}

bool StoredCounts::empty() const {
    return branches == 0 && priceTables == 0 && periods == 0 && products == 0 &&
           assortment == 0 && consumerTypes == 0 && consumerTypeBranches == 0 && rules == 0 && basePrices == 0 &&
           holidays == 0 && history == 0;
}

std::string StoredCounts::text() const {
    auto count = [](long n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    return count(branches, "filial", "filiais") + ", " +
           count(priceTables, "tabela de preço", "tabelas de preço") + ", " +
           count(periods, "vigência", "vigências") + ", " +
           count(products, "produto", "produtos") + ", " +
           count(assortment, "produto vendido por filial", "produtos vendidos por filial") +
           ", " + count(consumerTypes, "tipo de consumidor", "tipos de consumidor") + ", " +
           count(consumerTypeBranches, "tipo de consumidor por filial",
                 "tipos de consumidor por filial") +
           ", " +
           count(basePrices, "preço base", "preços base") + ", " +
           count(holidays, "feriado", "feriados") + ", " +
           count(rules, "regra gravada", "regras gravadas") + " e " +
           count(history, "alteração de regra no histórico", "alterações de regra no histórico");
}

}  // namespace server
