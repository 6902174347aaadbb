// The platform activation a parsed command line asks for.
#pragma once

#include <memory>

#include "platform/activation.h"
#include "program/command_line.h"

namespace Corvane {

// The activation the command line asks for, with a new system splash screen
// (none for a share target). A protocol text that is no absolute URI raises
// UsageError.
std::shared_ptr<Windows::ApplicationModel::Activation::IActivatedEventArgs> ActivationFor(
    const CommandLine& line);

}  // namespace Corvane
