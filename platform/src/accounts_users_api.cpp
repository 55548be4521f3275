// NetUserAdd, NetUserDel, NetUserGetInfo, NetUserSetInfo and the network
// management buffers.
#include "accounts_db.h"
#include "accounts_net.h"
#include "accounts_text.h"

#include <lm.h>
#include <velplat/faults.h>

#include <cstdlib>
#include <cstring>

namespace {

using namespace velplat::accounts::detail;

// A block holding one record followed by its strings, in the shape that
// NetApiBufferFree releases.
class InfoBlock {
 public:
  InfoBlock(size_t recordSize, const std::vector<std::u16string>& strings) : recordSize_(recordSize) {
    size_t size = recordSize;
    for (const auto& s : strings) size += (s.size() + 1) * sizeof(WCHAR);
    if (NetApiBufferAllocate(static_cast<DWORD>(size), reinterpret_cast<LPVOID*>(&block_)) != NERR_Success)
      block_ = nullptr;
  }
  BYTE* Get() const { return block_; }
  // Copies the next string behind the record and returns its address.
  LPWSTR Place(const std::u16string& text) {
    auto out = reinterpret_cast<LPWSTR>(block_ + recordSize_ + used_);
    std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    used_ += (text.size() + 1) * sizeof(WCHAR);
    return out;
  }

 private:
  size_t recordSize_;
  size_t used_ = 0;
  BYTE* block_ = nullptr;
};

UserFields FieldsOfLevel1(const USER_INFO_1& info) {
  UserFields fields;
  fields.password = Utf8FromWide(info.usri1_password);
  fields.homeDir = Utf8FromWide(info.usri1_home_dir);
  fields.comment = Utf8FromWide(info.usri1_comment);
  fields.scriptPath = Utf8FromWide(info.usri1_script_path);
  fields.flags = info.usri1_flags;
  fields.privilege = info.usri1_priv;
  return fields;
}

NET_API_STATUS WriteInfo(const UserView& user, DWORD level, LPBYTE* bufptr) {
  std::u16string name = WideFromUtf8(user.record.name);
  if (level == 0) {
    InfoBlock block(sizeof(USER_INFO_0), {name});
    if (!block.Get()) return ERROR_NOT_ENOUGH_MEMORY;
    reinterpret_cast<USER_INFO_0*>(block.Get())->usri0_name = block.Place(name);
    *bufptr = block.Get();
    return NERR_Success;
  }
  std::u16string home = WideFromUtf8(user.record.homeDir);
  std::u16string comment = WideFromUtf8(user.record.comment);
  std::u16string script = WideFromUtf8(user.record.scriptPath);
  InfoBlock block(sizeof(USER_INFO_1), {name, home, comment, script});
  if (!block.Get()) return ERROR_NOT_ENOUGH_MEMORY;
  auto info = reinterpret_cast<USER_INFO_1*>(block.Get());
  info->usri1_name = block.Place(name);
  info->usri1_password = nullptr;
  info->usri1_password_age = user.passwordAgeSeconds;
  info->usri1_priv = user.privilege;
  info->usri1_home_dir = block.Place(home);
  info->usri1_comment = block.Place(comment);
  info->usri1_flags = user.record.flags;
  info->usri1_script_path = block.Place(script);
  *bufptr = block.Get();
  return NERR_Success;
}

}  // namespace

NET_API_STATUS NET_API_FUNCTION NetApiBufferAllocate(DWORD ByteCount, LPVOID* Buffer) {
  if (auto error = velplat::faults::ConsumeCall("NetApiBufferAllocate")) return *error;
  if (!Buffer) return ERROR_INVALID_PARAMETER;
  *Buffer = std::calloc(1, ByteCount ? ByteCount : 1);
  return *Buffer ? NERR_Success : ERROR_NOT_ENOUGH_MEMORY;
}

NET_API_STATUS NET_API_FUNCTION NetApiBufferFree(LPVOID Buffer) {
  if (auto error = velplat::faults::ConsumeCall("NetApiBufferFree")) return *error;
  std::free(Buffer);
  return NERR_Success;
}

NET_API_STATUS NET_API_FUNCTION NetUserAdd(LPCWSTR servername, DWORD level, LPBYTE buf, LPDWORD parm_err) {
  if (auto error = velplat::faults::ConsumeCall("NetUserAdd")) return *error;
  velplat::Machine* machine = nullptr;
  if (auto status = ConnectServer(servername, Need::Change, &machine); status != NERR_Success) return status;
  if (level != 1) return ERROR_INVALID_LEVEL;
  if (!buf) return ERROR_INVALID_PARAMETER;
  const auto& info = *reinterpret_cast<const USER_INFO_1*>(buf);
  return AddUser(*machine, Utf8FromWide(info.usri1_name).value_or(""), FieldsOfLevel1(info), parm_err);
}

NET_API_STATUS NET_API_FUNCTION NetUserDel(LPCWSTR servername, LPCWSTR username) {
  if (auto error = velplat::faults::ConsumeCall("NetUserDel")) return *error;
  velplat::Machine* machine = nullptr;
  if (auto status = ConnectServer(servername, Need::Change, &machine); status != NERR_Success) return status;
  if (!username) return ERROR_INVALID_PARAMETER;
  return DeleteUser(*machine, *Utf8FromWide(username));
}

NET_API_STATUS NET_API_FUNCTION NetUserGetInfo(LPCWSTR servername, LPCWSTR username, DWORD level,
                                               LPBYTE* bufptr) {
  if (auto error = velplat::faults::ConsumeCall("NetUserGetInfo")) return *error;
  velplat::Machine* machine = nullptr;
  if (auto status = ConnectServer(servername, Need::Read, &machine); status != NERR_Success) return status;
  if (level != 0 && level != 1) return ERROR_INVALID_LEVEL;
  if (!username || !bufptr) return ERROR_INVALID_PARAMETER;
  auto user = ReadUser(*machine, *Utf8FromWide(username));
  if (!user) return NERR_UserNotFound;
  return WriteInfo(*user, level, bufptr);
}

NET_API_STATUS NET_API_FUNCTION NetUserSetInfo(LPCWSTR servername, LPCWSTR username, DWORD level, LPBYTE buf,
                                               LPDWORD parm_err) {
  if (auto error = velplat::faults::ConsumeCall("NetUserSetInfo")) return *error;
  velplat::Machine* machine = nullptr;
  if (auto status = ConnectServer(servername, Need::Change, &machine); status != NERR_Success) return status;
  if (level != 1 && level != 1003 && level != 1008) return ERROR_INVALID_LEVEL;
  if (!username || !buf) return ERROR_INVALID_PARAMETER;
  UserFields fields;
  if (level == 1) {
    fields = FieldsOfLevel1(*reinterpret_cast<const USER_INFO_1*>(buf));
  } else if (level == 1003) {
    fields.password = Utf8FromWide(reinterpret_cast<const USER_INFO_1003*>(buf)->usri1003_password).value_or("");
  } else {
    fields.flags = reinterpret_cast<const USER_INFO_1008*>(buf)->usri1008_flags;
  }
  return UpdateUser(*machine, *Utf8FromWide(username), fields, parm_err);
}
