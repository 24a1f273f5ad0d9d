#include "engine/changing_step.h"

void changingStep() {}
