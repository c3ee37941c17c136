// The notification component of a build without it: there is none.
#include "notify/services.h"

namespace nembit::notify {

NotifierFactory service_notifier_factory(NotifierChoice /*choice*/,
                                         const std::vector<std::string>& /*warnings*/) {
  return {};
}

}  // namespace nembit::notify
