#include "DataPacket.h"

namespace wire {

int DataPacket::fieldIndex(const std::string& name) const {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace wire
