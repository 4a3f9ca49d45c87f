#pragma once
// tvxnetcfg-cli plan PLANO.csv: a site's devices one after another at a
// terminal, each run's lines on the standard output and in the device's log,
// the questions and the plan's own messages on the error output.
#include <iosfwd>

namespace tvx::cli {

// argv[1] is "plan". Returns the exit code: 0 when every device of the plan
// is done, 1 when not (or the plan was stopped), 2 for refused options, a
// plan with errors, or a plan that cannot be taken (its state file, its
// report folder, another program running it).
int ExecutarPlano(int argc, const char* const* argv, std::ostream& saida, std::ostream& erros);

}  // namespace tvx::cli
