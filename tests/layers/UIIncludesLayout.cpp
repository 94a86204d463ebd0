// Compiled only by the layers test, with the include path of platform/ui: views sit below layout,
// so this include must not be found.
#include "platform/layout/NSLayoutConstraint.h"
