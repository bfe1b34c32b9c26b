#include "property/property_model.h"

#include <algorithm>

namespace tuv::property {

property_model::property_model(repository& repo, std::vector<std::string> vault_paths)
    : repo_(repo), vault_paths_(std::move(vault_paths)) {}

void property_model::select(int index) {
    const std::string& path = vault_paths_.at(static_cast<std::size_t>(index));
    selected_ = index;
    versions_.clear();
    versions_ = gui::versions_of(repo_, path);
}

std::vector<gui::checkout_row> property_model::checkout_rows(std::vector<int> rows) const {
    std::sort(rows.begin(), rows.end());
    std::vector<gui::checkout_row> checkout;
    for (const int row : rows) {
        checkout.push_back({vault_paths_.at(static_cast<std::size_t>(selected_)),
                            versions_.at(static_cast<std::size_t>(row)).moment});
    }
    return checkout;
}

}  // namespace tuv::property
