#pragma once
// The multi-pick list unit.

#include <string>
#include <vector>

namespace vol {

class DataSource;

/// Shows the rows of the source's dataset for multiple choice and writes the picked
/// keys into result: for each ticked row "_" and the key field's value in 10 characters
/// (a shorter key filled with blanks on the right), then a closing "_"; empty when
/// nothing is ticked. The list opens with the rows whose keys result already holds
/// ticked; a cancelled list leaves result as it was. The title holds the list's caption, "|",
/// and the notice shown instead of the list when the dataset is empty. The flag asks for
/// a single pick (false: several).
void PesquisaLista(DataSource& source, const std::string& keyField, const std::string& title,
                   bool singlePick, std::string& result);

/// The picked-codes text for the given keys (the format PesquisaLista writes).
std::string PickedCodesText(const std::vector<std::string>& keys);

}  // namespace vol
