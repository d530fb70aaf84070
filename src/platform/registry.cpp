#include "platform/registry.h"

namespace platform {

bool isStringType(RegistryType type) {
    return type == RegistryType::String || type == RegistryType::ExpandString || type == RegistryType::MultiString;
}

std::pair<std::string_view, std::string_view> splitValuePath(std::string_view valuePath) {
    const size_t slash = valuePath.rfind('\\');
    if (slash == std::string_view::npos) return {std::string_view(), valuePath};
    return {valuePath.substr(0, slash), valuePath.substr(slash + 1)};
}

bool valueExists(Registry& registry, RegistryRoot root, std::string_view valuePath) {
    auto [path, name] = splitValuePath(valuePath);
    RegistryKey key(registry, root, path, RegistryAccess::Read);
    return key && key.query(name).has_value();
}

std::string readTextValue(Registry& registry, RegistryRoot root, std::string_view valuePath) {
    auto [path, name] = splitValuePath(valuePath);
    RegistryKey key(registry, root, path, RegistryAccess::Read);
    auto value = key.query(name);
    if (!value || (value->type != RegistryType::String && value->type != RegistryType::ExpandString)) return {};
    const std::string& d = value->data;
    return d.substr(0, d.find('\0'));
}

}  // namespace platform
