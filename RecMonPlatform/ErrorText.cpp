#include "ErrorText.h"

#include <new>

namespace recmon {

std::string ErrorMessageOf(const std::exception_ptr& error) {
  if (!error) {
    return std::string(UnknownErrorText);
  }
  try {
    std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    return std::string(OutOfMemoryText);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return std::string(UnknownErrorText);
  }
}

std::string ErrorBoxText(std::string_view prefix, const std::exception_ptr& error) {
  return std::string(prefix) + ErrorMessageOf(error);
}

}  // namespace recmon
