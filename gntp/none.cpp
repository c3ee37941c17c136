// The notification component of a build without it: there is none.
#include "nembit/notifier.h"

namespace nembit::gntp {

NotifierFactory notifier_factory() { return {}; }

}  // namespace nembit::gntp
