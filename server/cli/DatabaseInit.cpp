#include "server/cli/DatabaseInit.h"

#include <stdexcept>

#include "server/cli/CommandCaller.h"
#include "server/store/DatabaseUrl.h"
#include "server/store/DemoReferenceData.h"
#include "server/store/StoreFactory.h"

namespace server {

long initDatabase(const std::string& url, bool demo, int products, ExistingData existing) {
    auto store = openStore(url, Creation::MayCreate);
    store->createSchema();
    if (!demo) {
        return 0;
    }
    // A demo set over a live database would replace its products and leave its rules
    // pointing at products that no longer exist: that takes an explicit --force.
    const StoredCounts found = store->storedCounts();
    if (!found.empty() && existing == ExistingData::Refuse) {
        throw std::runtime_error("O banco de dados " + redactUrl(url) + " já tem dados (" +
                                 found.text() +
                                 "); os dados de demonstração os substituiriam e as regras "
                                 "sem filial, tabela, vigência ou produto seriam removidas. "
                                 "Para substituí-los mesmo assim, use --force.");
    }
    store->setCaller(commandCaller("init"));
    return store->replaceReferenceData(referenceDataOf(demo::makeDataSet(products)));
}

}  // namespace server
