#include "nembit/file_creator.h"

namespace nembit {

void FileCreator::_init_growl() {}

void FileCreator::_notify(const std::string& /*filepath*/) {}

}  // namespace nembit
