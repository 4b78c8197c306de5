// The three actions an AI text session is made for.
#pragma once

#include <array>

namespace veska {

/// The action a session serves; each action has its own configured source.
enum class AITask { translate, write, fix };

/// Every task, in the order the configuration lists them.
inline constexpr std::array<AITask, 3> kAllAITasks{AITask::translate, AITask::write, AITask::fix};

}  // namespace veska
