#include "gntp/growl_notifier.h"

namespace nembit::gntp {

NotifierFactory notifier_factory() {
  return [](Application application) {
    return std::make_unique<GrowlNotifier>(std::move(application));
  };
}

}  // namespace nembit::gntp
