#include "program/exit_status.h"

namespace Corvane {

const ExitStatusMeaning kExitStatuses[6] = {
    {ExitStatus::Success, "0",
     "the game quit (with --collector: having delivered\n"
     "every request); --help, --version"},
    {ExitStatus::Failure, "1",
     "the host cannot start, the activation fails (markup the\n"
     "page cannot use), --frames could not write every picture,\n"
     "or --query-exports finds an export missing"},
    {ExitStatus::Usage, "2",
     "a usage error: an unknown option, a missing or invalid\n"
     "value (also a --frames folder that cannot be created or\n"
     "written to, or a sample game variable out of range)"},
    {ExitStatus::RequestsKept, "3",
     "the game quit with analytics requests kept in its\n"
     "outbox for a later run (or lost: they could not be\n"
     "stored)"},
    {ExitStatus::OutputFailed, "4",
     "standard output could not be written (said once on\n"
     "standard error; a reader that closed the pipe ends the\n"
     "program quietly, by SIGPIPE)"},
    {ExitStatus::ClosedBySignal, "128+N",
     "signal N (SIGHUP, SIGINT, SIGTERM) closed the window:\n"
     "the game quit and the pictures were written; a second\n"
     "signal ends the program at once"},
};

}  // namespace Corvane
