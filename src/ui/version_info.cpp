#include "ui/version_info.h"

#include "version.h"

namespace sonabank {

std::string GetVersionInfoValue(std::string_view name) {
    const std::string_view value = name == "FileVersion" ? SONABANK_VERSION : "";
    return value.empty() ? "???" : std::string(value);
}

}  // namespace sonabank
