#pragma once
// The program's forms in a test: made as the program's entry makes them, with the window timers
// on the virtual clock, and freed again so that the next test starts afresh.

namespace testsupport {

// The application object, the registered form classes and a fresh model state; then the
// parameter form, the modelling window and, with `Scene`, the full-screen model form.
void MakeProgramForms(bool Scene);
// Frees the forms MakeProgramForms made, last made first, and clears what they left on the
// application object.
void FreeProgramForms();

}  // namespace testsupport
