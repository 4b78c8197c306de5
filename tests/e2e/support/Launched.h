// The end-to-end rig's programs are the tests' shared launcher, under the rig's own names.
#pragma once

#include "support/Launched.h"

namespace veska::e2e {

using testing::Environment;
using testing::findProgram;
using testing::Launched;
using testing::LaunchPlan;
using testing::shellOutput;

}  // namespace veska::e2e
