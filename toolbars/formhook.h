// The hook a form's toolbars install on the form's window procedure and on the application
// window: floating toolbars follow the form (shown while the application is active and the form
// not minimised) and keep their captions drawn active together with the form's.
#pragma once

namespace tw {
class TComponent;
class TCustomForm;
}

namespace tw::toolbars {

// The first toolbar of a form installs the hook, later ones only count; the last one to go
// restores the form's procedure and unhooks the application window.
void InstallFormHook(TCustomForm* form);
void RemoveFormHook(TComponent* form);
// How many toolbars hold the hook of `form` (0 when none).
int FormHookCount(const TComponent* form);

}  // namespace tw::toolbars
