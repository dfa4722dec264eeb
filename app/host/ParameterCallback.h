// The parameter callback the application registers with the engine (DspSetParameterCallback).
// It writes "Parameter Callback : <value>" as one line to the program's log (stderr); the engine
// stores the pointer and never calls it.
#pragma once

#include <string>

void parameterCallback(double value);

// The line parameterCallback writes, without its line end: the value in the shortest decimal
// form that reads back as the same double ("0.5", "1e-07").
std::string parameterCallbackLine(double value);
