#include "HostBoundaryInput.h"

#include <string.h>

namespace {

// Takes the fields from the front of the input.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  void byte(uint8_t& value) { value = size_ > 0 ? take() : 0; }

  void number(int32_t& value) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(size_ > 0 ? take() : 0) << (8 * i);
    value = static_cast<int32_t>(bits);
  }

  void number(uint32_t& value) {
    int32_t bits;
    number(bits);
    value = static_cast<uint32_t>(bits);
  }

  template <typename Enum>
  void choice(Enum& value) {
    uint8_t raw;
    byte(raw);
    value = static_cast<Enum>(raw % static_cast<uint8_t>(Enum::count));
  }

  void bytes(uint8_t* out, size_t count) {
    size_t have = count < size_ ? count : size_;
    if (have > 0) memcpy(out, data_, have);
    memset(out + have, 0, count - have);
    data_ += have;
    size_ -= have;
  }

  void text(std::string& value, size_t limit, bool shortLength = false) {
    size_t length = shortLength ? takeByte() : takeByte() | (static_cast<size_t>(takeByte()) << 8);
    if (length > limit) length = limit;
    if (length > size_) length = size_;
    value.clear();
    if (length > 0) value.assign(reinterpret_cast<const char*>(data_), length);
    data_ += length;
    size_ -= length;
  }

  template <typename Item, typename Each>
  void list(std::vector<Item>& items, size_t least, size_t most, Each each) {
    size_t count = takeByte();
    if (count < least) count = least;
    if (count > most) count = most;
    items.assign(count, Item());
    for (Item& item : items) each(item);
  }

 private:
  uint8_t take() {
    --size_;
    return *data_++;
  }
  size_t takeByte() { return size_ > 0 ? take() : 0; }

  const uint8_t* data_;
  size_t size_;
};

// Puts the fields down as Reader takes them; limits are applied here, so
// what is written reads back the same.
class Writer {
 public:
  void byte(const uint8_t& value) { out_ += static_cast<char>(value); }

  void number(const int32_t& value) { number(static_cast<uint32_t>(value)); }

  void number(const uint32_t& value) {
    for (int i = 0; i < 4; ++i) out_ += static_cast<char>((value >> (8 * i)) & 0xFF);
  }

  template <typename Enum>
  void choice(const Enum& value) {
    out_ += static_cast<char>(static_cast<uint8_t>(value));
  }

  void bytes(const uint8_t* in, size_t count) { out_.append(reinterpret_cast<const char*>(in), count); }

  void text(const std::string& value, size_t limit, bool shortLength = false) {
    size_t length = value.size() < limit ? value.size() : limit;
    if (shortLength && length > 0xFF) length = 0xFF;
    out_ += static_cast<char>(length & 0xFF);
    if (!shortLength) out_ += static_cast<char>((length >> 8) & 0xFF);
    out_.append(value, 0, length);
  }

  template <typename Item, typename Each>
  void list(const std::vector<Item>& items, size_t least, size_t most, Each each) {
    size_t count = items.size() < most ? items.size() : most;
    out_ += static_cast<char>(count);
    for (size_t i = 0; i < count; ++i) each(items[i]);
    // Reader fills a short list up to `least` with plain items.
    const Item plain{};
    for (size_t i = count; i < least; ++i) each(plain);
  }

  const std::string& bytesWritten() const { return out_; }

 private:
  std::string out_;
};

// The one list of the fields, in their order; Input is BoundaryInput or
// const BoundaryInput.
template <typename Io, typename Input>
void transferInput(Io& io, Input& in) {
  io.bytes(in.extendedData, kExtendedDataBytes);
  io.list(in.saveFrameAnswers, 0, kMaxSaveFrameAnswers, [&io](auto& answer) { io.number(answer); });
  io.byte(in.fileInfoAnswers);
  io.number(in.rate);
  io.number(in.scale);
  io.byte(in.systemInfoAnswers);
  io.number(in.reportedFilters);
  io.list(in.filters, 0, kMaxFilterRecords, [&io](auto& filter) {
    io.byte(filter.given);
    io.number(filter.flags);
    io.byte(filter.processing);
  });
  io.choice(in.nameForm);
  io.text(in.outputName, kMaxNameBytes);
  io.choice(in.pathForm);
  io.byte(in.pathInFolder);
  io.text(in.path, kMaxSettingBytes);
  io.byte(in.portStored);
  io.text(in.port, kMaxSettingBytes);
  io.list(in.templates, kMinTemplates, kMaxTemplates, [&io](auto& file) {
    io.text(file.name, 0xFF, true);
    io.text(file.bytes, kMaxTemplateBytes);
  });
  io.choice(in.serverAnswer);
  io.text(in.answerBytes, kMaxAnswerBytes);
  for (auto* pick : {&in.templatePick, &in.portPick}) {
    io.byte(pick->made);
    io.number(pick->index);
  }
  io.list(in.saves, 0, kMaxSaves, [&io](auto& save) {
    io.number(save.firstFrame);
    io.number(save.lastFrame);
    io.number(save.currentFrame);
    io.byte(save.pictureSize);
    io.number(save.width);
    io.number(save.height);
    io.number(save.startClock);
    io.number(save.endClock);
  });
}

}  // namespace

BoundaryInput readBoundaryInput(const uint8_t* data, size_t size) {
  BoundaryInput input;
  Reader reader(data, size);
  transferInput(reader, input);
  return input;
}

std::string writeBoundaryInput(const BoundaryInput& input) {
  Writer writer;
  transferInput(writer, input);
  return writer.bytesWritten();
}

BoundaryInput plainBoundaryInput() {
  BoundaryInput input = readBoundaryInput(nullptr, 0);
  input.fileInfoAnswers = 1;
  input.rate = 30000;
  input.scale = 1001;
  input.systemInfoAnswers = 1;
  input.outputName = "C:\\video\\output.avi";
  input.portStored = 1;
  input.port = "9801";
  input.templates[0].name = "a.tpp";
  input.templates[0].bytes = "[config]\r\nghost=A\r\n[start]\r\n1=start $frame\r\n[end]\r\n1=end $frame\r\n";
  input.answerBytes = "SSTP/1.4 200 OK\r\n\r\n";
  SaveInput save = {0, 899, 899, 3, 320, 240, 1000000000, 1000000010};
  input.saves.push_back(save);
  return input;
}
