// A look at the program from outside, as the runtime sees it as a component
// server: the three exports are looked up in the program's own dynamic
// symbol table and the two activation exports are called through it, so a
// forward that looped back into the program instead of reaching
// GameAssembly would show here.
#pragma once

#include <cstdio>
#include <string>

namespace Corvane {

// Prints one JSON line per export on `out`:
//   {"export":"DllGetActivationFactory","class":ID,"result":"0x80040154","factory":false}
//   {"export":"DllCanUnloadNow","result":"0x00000001"}
//   {"export":"VSDesignerDllMain","exported":true}   (found, not called)
// Answers 0 when all three are exported by the program itself, 1 otherwise
// (the missing one is printed with "exported":false).
int QueryExports(const std::string& activatableClassId, std::FILE* out);

}  // namespace Corvane
