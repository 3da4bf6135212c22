// The system's fixed names, each spelled once.
#pragma once

// The scheduler's own service: service name and display name.
inline constexpr char kSchedulerService[] = "Qvn";
// The schedule file: a bare name, looked up in the Windows directory.
inline constexpr char kScheduleFile[] = "Qvn.ini";
// The installer file, in the current directory.
inline constexpr char kInstallFile[] = ".\\Qvn_install.ini";
// The diagnostic log.
inline constexpr char kLogPath[] = "C:\\Qvn.log";
// The event source of both services in the Application log.
inline constexpr char kEventSource[] = "Quorvane";
