#include "resources/layouts.h"

namespace layouts {

std::vector<const ui::Layout*> all() {
    return {&mainWindow(), &splash(), &about(), &updateWindow(), &ftpWindow(), &confirmWindow(), &dnsWindow()};
}

}  // namespace layouts
