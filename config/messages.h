#pragma once

// The one list of the agent protocol's message types, both directions.
//
// A frame is a type byte (the reader ignores the top bit), a code byte, a big-endian length
// of 2 bytes (4 for the long types) and the payload. Valid types are 1 to 71; a lone 0 byte is
// a keep-alive. A configuration category is numbered like the message type whose settings it
// groups: an agent of version 8 or later takes the category's configuration text (inside a
// type 55 configuration message) where an older one takes the binary message of that type.
//
// Each row: name, number, size of the length field, whether an agent may send it before it
// has identified itself, and the configuration category it carries (0: none).
//
// Everything else derives from this list: the enum, the reader's bounds, the length rule, the
// dispatch guard and the category names the commands use.

#include <QtGlobal>

#include <array>

// clang-format off
#define RVX_MESSAGE_TYPES(X)                                                                        \
    /*  name                 type  length  early  category   from the agent / from the server */   \
    X(Reboot,               1,    2,      false, 0)  /*               / reboot                      */ \
    X(FirmwareUpgrade,      3,    2,      false, 3)  /*               / image paths to pull         */ \
    X(TimeZone,             4,    2,      false, 4)  /* old report    / old setting                 */ \
    X(Identification,       5,    2,      true,  0)  /* its block     / welcome, refresh request    */ \
    X(Description,          6,    2,      false, 6)  /* old report    / old setting                 */ \
    X(Status,               7,    2,      false, 0)  /* status text   / file-transfer replies       */ \
    X(FileReadOpen,         9,    2,      false, 0)  /* open a file   /                             */ \
    X(FileTransferEnd,      10,   2,      false, 0)  /* close it      /                             */ \
    X(FileReadBlock,        11,   2,      false, 0)  /* next block    /                             */ \
    X(AgentUpgrade,         12,   2,      false, 12) /*               / package path to pull        */ \
    X(EnterMaintenance,     13,   2,      false, 0)  /*               / enter maintenance mode      */ \
    X(Disconnect,           17,   2,      false, 0)  /* asks to go    /                             */ \
    X(ApplicationMode,      18,   2,      false, 18) /* old report    / old setting                 */ \
    X(LogRetrieval,         21,   2,      false, 0)  /*               / upload logs to a folder     */ \
    X(FileWriteOpen,        22,   2,      false, 0)  /* create a file /                             */ \
    X(FileWriteData,        23,   2,      false, 0)  /* its data      /                             */ \
    X(Long24,               24,   4,      false, 0)  /* (unused)      / (unused)                    */ \
    X(HotfixInstall,        26,   2,      false, 26) /*               / hotfix paths to pull        */ \
    X(ResetToDefaults,      27,   2,      false, 0)  /*               / factory settings            */ \
    X(Hostname,             28,   2,      false, 28) /* old report    / old setting                 */ \
    X(Network,              29,   2,      false, 29) /* old report    / old setting                 */ \
    X(DiscoveryMethod,      30,   2,      false, 30) /*               / old setting                 */ \
    X(LogLevel,             31,   2,      false, 31) /*               / old setting                 */ \
    X(ModeHelp,             33,   2,      false, 0)  /* help text     / help request                */ \
    X(Peripherals,          34,   2,      false, 34) /* old report    / old setting                 */ \
    X(RestrictedPassword,   35,   2,      false, 35) /*               / old setting                 */ \
    X(Firewall,             36,   2,      false, 36) /* old report    / old setting                 */ \
    X(PxeServer,            37,   2,      false, 37) /* old report    / old setting                 */ \
    X(InstallFile,          38,   4,      false, 0)  /*               / a file to install           */ \
    X(PowerSave,            41,   2,      false, 41) /*               / old setting                 */ \
    X(Gateway,              42,   2,      false, 42) /*               /                             */ \
    X(UsbList,              43,   2,      false, 43) /* USB devices   / list request                */ \
    X(UsbRedirection,       44,   2,      false, 44) /*               / old setting                 */ \
    X(SignageSync,          45,   2,      false, 45) /*               / old setting                 */ \
    X(BlockDeviceList,      48,   2,      false, 0)  /*               / list upload request         */ \
    X(Echo,                 49,   2,      false, 0)  /* echo request  / echo, storage approval      */ \
    X(ExitMaintenance,      50,   2,      false, 0)  /*               / leave maintenance mode      */ \
    X(Displays,             51,   2,      false, 51) /*               /                             */ \
    X(Iot,                  52,   2,      false, 52) /*               /                             */ \
    X(ProfileFilename,      54,   2,      false, 54) /*               /                             */ \
    X(Configuration,        55,   2,      false, 55) /* its settings  / settings                    */ \
    X(RemoteTriggering,     56,   2,      false, 56) /*               /                             */ \
    X(ResetState,           57,   2,      false, 0)  /*               / reset state                 */ \
    X(ResolutionList,       59,   2,      false, 0)  /* resolutions   / list request                */ \
    X(LocaleList,           61,   2,      false, 0)  /* locales       / list request                */ \
    X(KeyboardOptionList,   62,   2,      false, 0)  /* keyboard opts / list request                */ \
    X(PowerOff,             63,   2,      false, 0)  /*               / power off                   */ \
    X(VncServer,            64,   2,      false, 64) /*               /                             */ \
    X(SsidList,             65,   2,      false, 0)  /* networks      / list request                */ \
    X(Shadowing,            66,   2,      false, 66) /*               /                             */ \
    X(Beacon,               67,   2,      false, 67) /*               /                             */ \
    X(PiConfig,             68,   2,      false, 0)  /* config.txt    / its request                 */ \
    X(RestartMode,          69,   2,      false, 0)  /*               / restart mode applications   */ \
    X(AudioDeviceList,      70,   2,      false, 0)  /* audio devices / list request                */ \
    X(NetworkStatus,        71,   2,      false, 0)  /* live status   / its request                 */
// clang-format on

namespace msg {

enum class Type : quint8
{
    KeepAlive = 0, // a lone byte, not a frame
#define RVX_MESSAGE_ENUM(name, type, length, early, category) name = type,
    RVX_MESSAGE_TYPES(RVX_MESSAGE_ENUM)
#undef RVX_MESSAGE_ENUM
};

// Other names of the same numbers, for the direction in which they mean something else.
constexpr Type Welcome = Type::Identification;   // code 2, from the server after its proof
constexpr Type Refresh = Type::Identification;   // short frame: the device reports itself again
constexpr Type StorageApproval = Type::Echo;     // the storage devices the installer may use
constexpr Type FileTransferReply = Type::Status; // every file-transfer answer

constexpr int MaxType = 71;

struct Info
{
    bool known = false;
    const char* name = "";
    int lengthFieldSize = 2;
    bool beforeIdentification = false;
    int category = 0;
};

namespace detail {
constexpr std::array<Info, 128> buildTable()
{
    std::array<Info, 128> table{};
#define RVX_MESSAGE_ROW(n, type, length, early, cat) table[type] = Info{true, #n, length, early, cat};
    RVX_MESSAGE_TYPES(RVX_MESSAGE_ROW)
#undef RVX_MESSAGE_ROW
    return table;
}
inline constexpr std::array<Info, 128> Table = buildTable();
} // namespace detail

constexpr quint8 number(Type type)
{
    return static_cast<quint8>(type);
}
// The row of a type byte (top bit ignored); `known` is false for numbers not in the list.
constexpr const Info& info(quint8 type)
{
    return detail::Table[type & 0x7F];
}
// 1 to 71: a frame the reader accepts (types without a row are read whole and ignored).
constexpr bool isValidType(quint8 type)
{
    return (type & 0x7F) >= 1 && (type & 0x7F) <= MaxType;
}
// 4 for the long types, 2 for all others.
constexpr int lengthFieldSize(quint8 type)
{
    return info(type).lengthFieldSize;
}
// Only the identification may come before a connection has identified itself.
constexpr bool allowedBeforeIdentification(quint8 type)
{
    return info(type).beforeIdentification;
}
// The configuration category of a message type (0 when it carries none).
constexpr int category(Type type)
{
    return info(number(type)).category;
}

static_assert(lengthFieldSize(38) == 4 && lengthFieldSize(24) == 4 && lengthFieldSize(55) == 2);
static_assert(info(38).lengthFieldSize == 4 && info(24).lengthFieldSize == 4);
static_assert(category(Type::Configuration) == 55);
static_assert(!isValidType(72) && isValidType(0xC7));

} // namespace msg
