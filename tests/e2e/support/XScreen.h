// What the end-to-end tests look at on the X server: the shared helpers, under the rig's names.
#pragma once

#include "support/XScreen.h"

namespace veska::e2e {

using testing::askToClose;
using testing::capture;
using testing::descendants;
using testing::describe;
using testing::Image;
using testing::isInsideWindowOf;
using testing::topLevelWindowOf;
using testing::WindowInfo;
using testing::windowsOf;
using testing::writePng;

}  // namespace veska::e2e
