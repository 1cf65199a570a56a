// The JSON documents of the tool (manifests, machine descriptions, records):
// objects keep the order in which their members were written.
#pragma once

#include <nlohmann/json.hpp>

namespace uninstdat {

using Json = nlohmann::ordered_json;

}  // namespace uninstdat
