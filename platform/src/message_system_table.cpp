// English texts of the system error codes that the platform can produce.
#include "message_system_table.h"

#include <algorithm>
#include <iterator>

namespace velplat::messages {
namespace {

struct SystemMessage {
  DWORD code;
  std::string_view text;
};

// Sorted by code (checked below), so that lookup is a binary search.
constexpr SystemMessage kSystemMessages[] = {
    {0, "The operation completed successfully.\r\n"},
    {1, "Incorrect function.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {4, "The system cannot open the file.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough memory resources are available to process this command.\r\n"},
    {12, "The access code is invalid.\r\n"},
    {13, "The data is invalid.\r\n"},
    {14, "Not enough memory resources are available to complete this operation.\r\n"},
    {31, "A device attached to the system is not functioning.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {50, "The request is not supported.\r\n"},
    {53, "The network path was not found.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {110, "The system cannot open the device or file specified.\r\n"},
    {120, "This function is not supported on this system.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {124, "The system call level is not correct.\r\n"},
    {126, "The specified module could not be found.\r\n"},
    {127, "The specified procedure could not be found.\r\n"},
    {161, "The specified path is invalid.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {203, "The system could not find the environment option that was entered.\r\n"},
    {234, "More data is available.\r\n"},
    {258, "The wait operation timed out.\r\n"},
    {259, "No more data is available.\r\n"},
    {288, "Attempt to release mutex not owned by caller.\r\n"},
    {317, "The system cannot find message text for message number 0x%1 in the message file for %2.\r\n"},
    {745, "Indicates that a notify change request has been completed due to closing the handle which made the notify change request.\r\n"},
    {998, "Invalid access to memory location.\r\n"},
    {1010, "The configuration registry key is invalid.\r\n"},
    {1011, "The configuration registry key could not be opened.\r\n"},
    {1012, "The configuration registry key could not be read.\r\n"},
    {1013, "The configuration registry key could not be written.\r\n"},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
    {1051, "A stop control has been sent to a service that other running services are dependent on.\r\n"},
    {1052, "The requested control is not valid for this service.\r\n"},
    {1053, "The service did not respond to the start or control request in a timely fashion.\r\n"},
    {1054, "A thread could not be created for the service.\r\n"},
    {1055, "The service database is locked.\r\n"},
    {1056, "An instance of the service is already running.\r\n"},
    {1057, "The account name is invalid or does not exist, or the password is invalid for the account name specified.\r\n"},
    {1058, "The service cannot be started, either because it is disabled or because it has no enabled devices associated with it.\r\n"},
    {1059, "Circular service dependency was specified.\r\n"},
    {1060, "The specified service does not exist as an installed service.\r\n"},
    {1061, "The service cannot accept control messages at this time.\r\n"},
    {1062, "The service has not been started.\r\n"},
    {1063, "The service process could not connect to the service controller.\r\n"},
    {1064, "An exception occurred in the service when handling the control request.\r\n"},
    {1065, "The database specified does not exist.\r\n"},
    {1066, "The service has returned a service-specific error code.\r\n"},
    {1067, "The process terminated unexpectedly.\r\n"},
    {1068, "The dependency service or group failed to start.\r\n"},
    {1069, "The service did not start due to a logon failure.\r\n"},
    {1072, "The specified service has been marked for deletion.\r\n"},
    {1073, "The specified service already exists.\r\n"},
    {1075, "The dependency service does not exist or has been marked for deletion.\r\n"},
    {1077, "No attempts to start the service have been made since the last boot.\r\n"},
    {1314, "A required privilege is not held by the client.\r\n"},
    {1316, "The specified account already exists.\r\n"},
    {1317, "The specified account does not exist.\r\n"},
    {1326, "The user name or password is incorrect.\r\n"},
    {1331, "This user can't sign in because this account is currently disabled.\r\n"},
    {1332, "No mapping between account names and security IDs was done.\r\n"},
    {1371, "Cannot perform this operation on built-in accounts.\r\n"},
    {1376, "The specified local group does not exist.\r\n"},
    {1377, "The specified account name is not a member of the group.\r\n"},
    {1378, "The specified account name is already a member of the group.\r\n"},
    {1387, "A new member could not be added to or removed from the local group because the member does not exist.\r\n"},
    {1388, "A new member could not be added to a local group because the member has the wrong account type.\r\n"},
    {1460, "This operation returned because the timeout period expired.\r\n"},
    {1722, "The RPC server is unavailable.\r\n"},
    {1814, "The specified resource name cannot be found in the image file.\r\n"},
    {1815, "The specified resource language ID cannot be found in the image file.\r\n"},
    {1909, "The referenced account is currently locked out and may not be logged on to.\r\n"},
};

static_assert(std::adjacent_find(std::begin(kSystemMessages), std::end(kSystemMessages),
                                 [](const SystemMessage& a, const SystemMessage& b) { return a.code >= b.code; }) ==
                  std::end(kSystemMessages),
              "system messages must be sorted by code, without duplicates");

}  // namespace

std::optional<std::string_view> SystemText(DWORD code) {
  auto it = std::lower_bound(std::begin(kSystemMessages), std::end(kSystemMessages), code,
                             [](const SystemMessage& message, DWORD wanted) { return message.code < wanted; });
  if (it == std::end(kSystemMessages) || it->code != code) return std::nullopt;
  return it->text;
}

}  // namespace velplat::messages
