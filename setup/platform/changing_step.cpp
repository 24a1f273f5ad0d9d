#include "platform/changing_step.h"

void changingStep() {}

void noteStep(const char*, const char*) {}
