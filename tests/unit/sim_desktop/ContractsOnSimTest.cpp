// Every desktop port's contract suite, run against the simulated desktop.
#include "SimRigs.h"

namespace veska::contract {

using sim::testing::SimFactory;
using PasteboardOnSim = SimFactory<sim::testing::SimPasteboardRig, PasteboardRig>;
using WorkspaceOnSim = SimFactory<sim::testing::SimWorkspaceRig, WorkspaceRig>;
using PermissionsOnSim = SimFactory<sim::testing::SimPermissionsRig, PermissionsRig>;
using KeyEventSourceOnSim = SimFactory<sim::testing::SimKeyEventSourceRig, KeyEventSourceRig>;
using KeyPosterOnSim = SimFactory<sim::testing::SimKeyPosterRig, KeyPosterRig>;
using AccessibilityOnSim = SimFactory<sim::testing::SimAccessibilityRig, AccessibilityRig>;

INSTANTIATE_TYPED_TEST_SUITE_P(Sim, PasteboardContract, ::testing::Types<PasteboardOnSim>);
INSTANTIATE_TYPED_TEST_SUITE_P(Sim, WorkspaceContract, ::testing::Types<WorkspaceOnSim>);
INSTANTIATE_TYPED_TEST_SUITE_P(Sim, PermissionsContract, ::testing::Types<PermissionsOnSim>);
INSTANTIATE_TYPED_TEST_SUITE_P(Sim, KeyEventSourceContract, ::testing::Types<KeyEventSourceOnSim>);
INSTANTIATE_TYPED_TEST_SUITE_P(Sim, KeyPosterContract, ::testing::Types<KeyPosterOnSim>);
INSTANTIATE_TYPED_TEST_SUITE_P(Sim, AccessibilityContract, ::testing::Types<AccessibilityOnSim>);

}  // namespace veska::contract
