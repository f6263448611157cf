// The system-table loaders over rows of any shape: values of the wrong type, missing or extra
// fields, over-long texts.  The input is cut into four tables (QNSInfo, QNSALIAS, QNSUser,
// QNSIndex); each byte pair picks a value kind and its length or number.  Nothing may crash,
// and every name and path the configuration keeps stays within its maximum.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dbengine/base/serveroptions.h"

using namespace tw::dbengine;

namespace {

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos = 0;
  bool More() const { return pos < size; }
  std::uint8_t Byte() { return pos < size ? data[pos++] : 0; }
  std::uint32_t Word() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
    return v;
  }
};

TqnSysValue NextValue(Input& in) {
  const std::uint8_t kind = in.Byte();
  switch (kind % 5) {
    case 0: return std::monostate{};
    case 1: return (in.Byte() & 1) != 0;
    case 2: return in.Word();
    case 3: return static_cast<std::int32_t>(in.Word());
    default: {
      // Short texts mostly, now and then one far beyond any field's size.
      std::size_t len = in.Byte();
      if (kind & 0x80) len *= 8;
      std::string s;
      for (std::size_t i = 0; i < len && in.More(); ++i) s.push_back(static_cast<char>(in.Byte()));
      return s;
    }
  }
}

TqnSysTable NextTable(Input& in) {
  TqnSysTable t;
  const int fields = in.Byte() % 20;
  for (int i = 0; i < fields; ++i) t.Fields.push_back({"F" + std::to_string(i), in.Byte(), in.Byte()});
  const int rows = in.Byte() % 8;
  for (int r = 0; r < rows && in.More(); ++r) {
    TqnSysRow row;
    const int values = in.Byte() % 20;
    for (int v = 0; v < values; ++v) row.push_back(NextValue(in));
    t.Rows.push_back(std::move(row));
  }
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  Input in{Data, Size};
  TqnMemorySystemTableStore store;
  // A table is left out when its first byte is odd, as a missing table file.
  for (const char* name : {kQnSysInfoTable, kQnSysAliasTable, kQnSysUserTable, kQnSysIndexTable}) {
    if ((in.Byte() & 1) == 0) store.Table(name) = NextTable(in);
  }
  TqnServerConfiguration c;
  LoadInfoTable(c, store);
  LoadAliasTable(c, store);
  LoadUserTable(c, store);
  LoadIndexTable(c, store);

  const TqnGeneralInfo& g = c.GeneralInfo();
  if (g.ServerName.Length() > kQnMaxName) __builtin_trap();
  for (int i = 0; i < c.AliasList().Count(); ++i) {
    if (c.AliasList().Items(i)->Alias().size() > kQnMaxName || c.AliasList().Items(i)->Path().size() > kQnMaxPath)
      __builtin_trap();
  }
  for (int i = 0; i < c.UserList().Count(); ++i) {
    const TqnUserItem* u = c.UserList().Items(i);
    if (u->UserID().size() > kQnMaxName || u->FirstName().size() > kQnMaxName || u->LastName().size() > kQnMaxName)
      __builtin_trap();
  }
  // What was loaded saves back into tables of the writers' layout.
  TqnMemorySystemTableStore out;
  SaveInfoTable(c, out);
  SaveAliasTable(c, out);
  SaveUserTable(c, out);
  return 0;
}
