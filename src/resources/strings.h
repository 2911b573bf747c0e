#pragma once

#include <QString>

namespace farlight {

/// @brief Ids of the numbered texts that the program shows; only the ones code refers to by name.
namespace StringId {
inline constexpr int SearchingCaption = 20;
inline constexpr int SearchingLabel = 21;
inline constexpr int Cancel = 22;
inline constexpr int MaskCantSet = 23;
inline constexpr int NotValidIpAddress = 24;
inline constexpr int DataTransmitFinish = 25;
inline constexpr int TimeOut = 26;
inline constexpr int FileNotExist = 27;
inline constexpr int PleaseKeyinPath = 28;
inline constexpr int AdapterStatusError = 29;
inline constexpr int NoAdapter = 30;
inline constexpr int ExitQuestion = 31;
inline constexpr int SetIp = 32;
inline constexpr int SetIpOk = 39;
inline constexpr int SetDhcpOk = 40;
inline constexpr int SetIpFailure = 43;
inline constexpr int SetDhcpFailure = 44;
inline constexpr int ValueRange = 45;
inline constexpr int Ok = 46;
inline constexpr int ProductName = 16;
inline constexpr int Copyright = 51;
inline constexpr int Pass = 209;
inline constexpr int Fail = 210;
inline constexpr int Password = 301;
inline constexpr int InvalidPassword = 302;
inline constexpr int InvalidMac = 303;
inline constexpr int MacExists = 304;
inline constexpr int ExitTitle = 305;
inline constexpr int FileExistsReplace = 306;
inline constexpr int Static = 307;
inline constexpr int IpAddressNotSet = 308;
inline constexpr int PermissionDenied = 309;
inline constexpr int BadFileName = 310;
inline constexpr int NotValidGateway = 311;
inline constexpr int NotValidFirmware = 313;
inline constexpr int NotValidMacFile = 314;
inline constexpr int PasswordNotSingleByte = 315;
inline constexpr int HelpMissing = 316;
// farlight-cli's messages.
inline constexpr int CliUnknownCommand = 401;
inline constexpr int CliPasswordOnCommandLine = 402;
inline constexpr int CliOneDeviceForStatic = 403;
inline constexpr int CliDevicesOrAll = 404;
inline constexpr int CliJobsRange = 405;
inline constexpr int CliWaitTimeoutWithoutWait = 406;
inline constexpr int CliOnePlanFile = 407;
inline constexpr int CliUnknownSearchFormat = 408;
inline constexpr int CliAmbiguousName = 410;
inline constexpr int CliNotAMac = 411;
inline constexpr int CliNotAnIp = 412;
inline constexpr int CliNoSuchDevice = 413;
inline constexpr int CliNoDevice = 414;
inline constexpr int CliSecretFileOpen = 420;
inline constexpr int CliPasswordNeeded = 421;
inline constexpr int CliPasswordTooLong = 422;
inline constexpr int CliCredentialsLine = 430;
inline constexpr int CliGivenAlready = 431;
} // namespace StringId

/// @brief The caption and message text with the given number, or an empty text for an unknown id.
QString text(int id);

/// @brief True when the string table has a text for @p id.
bool hasText(int id);

/// @brief Title of the message boxes that do not name one of their own.
inline const QString ApplicationTitle = QStringLiteral("QM735XL Utility");

} // namespace farlight
