#include "catalogue/plistreader.h"

#include "catalogue/plistreader_p.h"

namespace kd::plist {

namespace {

ArrayReadResult dispatch(std::string_view bytes, Value* root,
                         const std::function<void(Value&&)>* element,
                         const std::function<void(std::size_t)>* readUpTo = nullptr) {
    if (bytes.substr(0, 8) == "bplist00")
        return detail::readBinary(bytes, root, element);
    return detail::readXml(bytes, root, element, readUpTo);
}

} // namespace

ReadResult read(std::string_view bytes) {
    ReadResult result;
    Value root;
    const ArrayReadResult r = dispatch(bytes, &root, nullptr);
    if (r.status == ArrayStatus::Error)
        result.error = r.error;
    else
        result.value = std::move(root);
    return result;
}

ArrayReadResult readArray(std::string_view bytes, const std::function<void(Value&&)>& element,
                          const std::function<void(std::size_t)>& readUpTo) {
    return dispatch(bytes, nullptr, &element, readUpTo ? &readUpTo : nullptr);
}

} // namespace kd::plist
