#pragma once
// Named points in the import's closing sequence at which a test can have the process killed,
// to show that a run interrupted at exactly that step loses nothing and posts nothing twice.
// The process is killed (SIGKILL, as by the power switch of a process) when the environment
// variable VX_IMPORT_KILL_AT names the point; otherwise a point does nothing.
namespace vx::import {

void faultPoint(const char* name);

}  // namespace vx::import
