// The main window as the toolkit builds it: title, client area and the six controls.
#pragma once

#include "platform/ui/form_description.h"

namespace app {

const platform::FormDescription& FrmMainDescription();

}  // namespace app
