// The portable copies of the system's numbers, checked against its headers.
#include "common/system_numbers.h"

#include <windows.h>

static_assert(syserr::kAccessDenied == ERROR_ACCESS_DENIED &&
                  syserr::kDependentServicesRunning == ERROR_DEPENDENT_SERVICES_RUNNING &&
                  syserr::kInvalidServiceControl == ERROR_INVALID_SERVICE_CONTROL &&
                  syserr::kServiceDatabaseLocked == ERROR_SERVICE_DATABASE_LOCKED &&
                  syserr::kServiceAlreadyRunning == ERROR_SERVICE_ALREADY_RUNNING &&
                  syserr::kServiceDoesNotExist == ERROR_SERVICE_DOES_NOT_EXIST &&
                  syserr::kServiceCannotAcceptControl == ERROR_SERVICE_CANNOT_ACCEPT_CTRL &&
                  syserr::kServiceNotActive == ERROR_SERVICE_NOT_ACTIVE,
              "error codes as the system numbers them");

static_assert(
    scm::kControlStop == SERVICE_CONTROL_STOP && scm::kControlPause == SERVICE_CONTROL_PAUSE &&
        scm::kControlContinue == SERVICE_CONTROL_CONTINUE &&
        scm::kControlInterrogate == SERVICE_CONTROL_INTERROGATE &&
        scm::kControlShutdown == SERVICE_CONTROL_SHUTDOWN &&
        scm::kControlParamChange == SERVICE_CONTROL_PARAMCHANGE &&
        scm::kControlPowerEvent == SERVICE_CONTROL_POWEREVENT &&
        scm::kControlTimeChange == SERVICE_CONTROL_TIMECHANGE &&
        scm::kPowerResumeSuspend == PBT_APMRESUMESUSPEND &&
        scm::kPowerResumeAutomatic == PBT_APMRESUMEAUTOMATIC &&
        scm::kAcceptStop == SERVICE_ACCEPT_STOP &&
        scm::kAcceptPauseContinue == SERVICE_ACCEPT_PAUSE_CONTINUE &&
        scm::kAcceptShutdown == SERVICE_ACCEPT_SHUTDOWN &&
        scm::kAcceptParamChange == SERVICE_ACCEPT_PARAMCHANGE &&
        scm::kAcceptPowerEvent == SERVICE_ACCEPT_POWEREVENT &&
        scm::kAcceptTimeChange == SERVICE_ACCEPT_TIMECHANGE &&
        scm::kTypeOwnProcess == SERVICE_WIN32_OWN_PROCESS &&
        scm::kTypeShareProcess == SERVICE_WIN32_SHARE_PROCESS &&
        scm::kStateStopped == SERVICE_STOPPED && scm::kStateStartPending == SERVICE_START_PENDING &&
        scm::kStateStopPending == SERVICE_STOP_PENDING && scm::kStateRunning == SERVICE_RUNNING &&
        scm::kStateContinuePending == SERVICE_CONTINUE_PENDING &&
        scm::kStatePausePending == SERVICE_PAUSE_PENDING && scm::kStatePaused == SERVICE_PAUSED,
    "controls and status values as the system numbers them");

static_assert(rights::kManagerConnect == SC_MANAGER_CONNECT &&
                  rights::kManagerCreateService == SC_MANAGER_CREATE_SERVICE &&
                  rights::kManagerEnumerate == SC_MANAGER_ENUMERATE_SERVICE &&
                  rights::kQueryConfig == SERVICE_QUERY_CONFIG &&
                  rights::kChangeConfig == SERVICE_CHANGE_CONFIG &&
                  rights::kQueryStatus == SERVICE_QUERY_STATUS &&
                  rights::kEnumerateDependents == SERVICE_ENUMERATE_DEPENDENTS &&
                  rights::kStart == SERVICE_START && rights::kStop == SERVICE_STOP &&
                  rights::kPauseContinue == SERVICE_PAUSE_CONTINUE &&
                  rights::kInterrogate == SERVICE_INTERROGATE &&
                  rights::kUserDefinedControl == SERVICE_USER_DEFINED_CONTROL &&
                  rights::kDelete == DELETE && rights::kReadControl == READ_CONTROL &&
                  rights::kWriteDac == WRITE_DAC && rights::kWriteOwner == WRITE_OWNER &&
                  rights::kStandardRequired == STANDARD_RIGHTS_REQUIRED &&
                  rights::kWriteData == FILE_WRITE_DATA &&
                  rights::kAppendData == FILE_APPEND_DATA &&
                  rights::kDeleteChild == FILE_DELETE_CHILD && rights::kGenericAll == GENERIC_ALL &&
                  rights::kGenericWrite == GENERIC_WRITE &&
                  rights::kFileGenericWrite == FILE_GENERIC_WRITE &&
                  rights::kFileAllAccess == FILE_ALL_ACCESS,
              "rights as the system numbers them");

static_assert(events::kErrorType == EVENTLOG_ERROR_TYPE &&
                  events::kWarningType == EVENTLOG_WARNING_TYPE &&
                  events::kInformationType == EVENTLOG_INFORMATION_TYPE,
              "event types as the system numbers them");

static_assert(kDriveRemote == DRIVE_REMOTE && kNoBestFit == WC_NO_BEST_FIT_CHARS,
              "a drive type and a conversion flag as the system numbers them");
