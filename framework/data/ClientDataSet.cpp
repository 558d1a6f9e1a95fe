#include "data/ClientDataSet.h"

#include <stdexcept>

namespace vol {

ClientDataSet::ClientDataSet(Form& owner, std::string name) : DataSet(owner, std::move(name)) {}

void ClientDataSet::createDataSet() { openEmpty(); }

void ClientDataSet::loadPacket(const wire::DataPacket& packet) { loadPacket(wire::DataPacket(packet)); }

void ClientDataSet::loadPacket(wire::DataPacket&& packet) { setRows(rowsOf(std::move(packet))); }

void ClientDataSet::appendPacket(const wire::DataPacket& packet) { appendPacket(wire::DataPacket(packet)); }

void ClientDataSet::appendPacket(wire::DataPacket&& packet) { appendRows(rowsOf(std::move(packet))); }

std::deque<wire::Row> ClientDataSet::rowsOf(wire::DataPacket&& packet) {
    if (fields_.empty()) {
        for (const wire::FieldDesc& f : packet.fields) {
            FieldDef def;
            def.name = f.name;
            def.size = f.size;
            fields_.push_back(std::move(def));
        }
    }
    // Where each declared field takes its value from in the packet's rows.
    std::vector<int> source(fields_.size(), -1);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].kind == FieldKind::Calculated) continue;
        source[i] = packet.fieldIndex(fields_[i].name);
        if (source[i] < 0) {
            throw std::runtime_error("Campo " + fields_[i].name + " não encontrado na resposta do servidor.");
        }
    }
    std::deque<wire::Row> rows;
    // The common case, the packet's columns being the dataset's: each row moves in whole.
    bool same = source.size() == packet.fields.size();
    for (std::size_t i = 0; same && i < source.size(); ++i) same = source[i] == static_cast<int>(i);
    for (wire::Row& in : packet.rows) {
        if (same && in.size() == fields_.size()) {
            rows.push_back(std::move(in));
            continue;
        }
        wire::Row out(fields_.size());
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            if (source[i] >= 0 && static_cast<std::size_t>(source[i]) < in.size()) {
                out[i] = in[static_cast<std::size_t>(source[i])];
            }
        }
        rows.push_back(std::move(out));
    }
    return rows;
}

wire::DataPacket ClientDataSet::packet() const {
    if (!active_) throw std::logic_error(name() + " está fechado.");
    wire::DataPacket p;
    std::vector<std::size_t> data;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].kind != FieldKind::Data) continue;
        data.push_back(i);
        p.fields.push_back(wire::FieldDesc{fields_[i].name, "string", fields_[i].size});
    }
    p.rows.reserve(rows_.size());
    for (const wire::Row& row : rows_) {
        wire::Row out;
        out.reserve(data.size());
        for (std::size_t i : data) out.push_back(row[i]);
        p.rows.push_back(std::move(out));
    }
    return p;
}

void ClientDataSet::insert() {
    if (!active_) throw std::logic_error(name() + " está fechado.");
    buffer_.assign(fields_.size(), std::nullopt);
    state_ = State::Insert;
}

void ClientDataSet::post() {
    if (state_ != State::Insert) return;
    state_ = State::Browse;
    std::size_t at = current_ < 0 ? 0 : static_cast<std::size_t>(current_);
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), std::move(buffer_));
    buffer_.clear();
    current_ = static_cast<int>(at);
    eof_ = false;
    calculate(current_);
}

void ClientDataSet::cancel() {
    state_ = State::Browse;
    buffer_.clear();
}

}  // namespace vol
