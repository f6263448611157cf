// Registers the form library's components for creation by name, so that form descriptions can
// make them even where no code of the program names their classes.  The program calls it at
// start-up, before the first form is read.
#pragma once

namespace tw::app {

void RegisterAppLibClasses();

}  // namespace tw::app
