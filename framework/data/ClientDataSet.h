#pragma once
// An in-memory dataset that loads and produces data packets.

#include "data/DataSet.h"
#include "protocol/DataPacket.h"

namespace vol {

/// A client dataset. Its content arrives whole from a data packet, or it is created empty
/// in memory and filled by inserts; it gives its content back as a data packet.
class ClientDataSet : public DataSet {
public:
    ClientDataSet(Form& owner, std::string name);

    /// Opens the dataset empty with its declared fields.
    void createDataSet();
    /// Replaces the whole content with the packet's rows and opens the dataset. Declared
    /// fields take the packet's columns of the same name (a declared data field missing
    /// from the packet throws std::runtime_error naming it; extra columns are ignored);
    /// a dataset without declared fields takes the packet's fields.
    void loadPacket(const wire::DataPacket& packet);
    /// The same, the packet's cells moved into the dataset instead of copied.
    void loadPacket(wire::DataPacket&& packet);
    /// Adds the packet's rows after the last row, as loadPacket takes them (the next page
    /// of a paged answer); a closed dataset is opened with them.
    void appendPacket(const wire::DataPacket& packet);
    /// The same, the packet's cells moved into the dataset instead of copied.
    void appendPacket(wire::DataPacket&& packet);
    /// The data fields and every row as a packet; throws std::logic_error when closed.
    wire::DataPacket packet() const;

    /// Starts a new record, to be inserted before the current one.
    void insert();
    /// Stores the record being inserted at the current position; it becomes current.
    void post();
    /// Drops the record being inserted.
    void cancel();

private:
    /// The packet's rows in the declared fields' order; declares the packet's fields when
    /// none is declared.
    std::deque<wire::Row> rowsOf(wire::DataPacket&& packet);
};

}  // namespace vol
