// Every file or registry operation of an update or an installation that changes the disk passes
// here first. The shipped programs do nothing here; the tests' builds of setup.exe and update.exe
// end the process at the step they are told, to prove that an installation or an update ended at
// any moment is brought back to one whole state by the next run.
#pragma once

void changingStep();

// The order in which data reach the disk and names change: the tests' builds write each noted step
// ("flushed", "renamed", with its path) to a file, to prove that no name points at data that may
// not be on the disk yet. The shipped programs note nothing.
void noteStep(const char* what, const char* path);
