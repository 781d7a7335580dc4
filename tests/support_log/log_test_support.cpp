#include "log_test_support.h"

#include "test_files.h"

#include <gtest/gtest.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

namespace lumivex::test {

SYSTEMTIME g_testNow = {2026, 12, 1, 7, 9, 5, 3, 0};

void SetTestNow(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    g_testNow = SYSTEMTIME{year, month, 0, day, hour, minute, second, 0};
}

namespace {

void TestClock(SYSTEMTIME& now) {
    now = g_testNow;
}

// Wine's mount manager request that adds or (type DRIVE_NO_ROOT_DIR) removes a drive letter.
struct WineUnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset; // offset of the Unix path (bytes, zero-terminated)
    USHORT deviceOffset;
    USHORT labelOffset;
};
constexpr DWORD kWineDefineUnixDrive =
    CTL_CODE(0x6D, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

using WineUnixNameFn = char*(CDECL*)(LPCWSTR);

WineUnixNameFn WineUnixName() {
    return reinterpret_cast<WineUnixNameFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

bool WineMountDrive(wchar_t letter, const char* unixPath) {
    HANDLE manager =
        CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) {
        return false;
    }
    const size_t pathBytes = unixPath ? strlen(unixPath) + 1 : 0;
    std::vector<char> request(sizeof(WineUnixDrive) + pathBytes);
    WineUnixDrive drive{};
    drive.size = static_cast<ULONG>(request.size());
    drive.type = unixPath ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR;
    drive.letter = static_cast<WCHAR>(letter - L'A' + L'a');
    drive.mountPointOffset = unixPath ? static_cast<USHORT>(sizeof drive) : 0;
    memcpy(request.data(), &drive, sizeof drive);
    if (pathBytes) {
        memcpy(request.data() + sizeof drive, unixPath, pathBytes);
    }
    DWORD returned = 0;
    const BOOL ok =
        DeviceIoControl(manager, kWineDefineUnixDrive, request.data(),
                        static_cast<DWORD>(request.size()), nullptr, 0, &returned, nullptr);
    CloseHandle(manager);
    return ok != FALSE;
}

} // namespace

TestWriter::TestWriter(std::wstring baseDir, std::wstring appName, DWORD mask)
    : m_initMask(mask), m_appName(std::move(appName)) {
    m_strBaseDir = std::move(baseDir);
    SetLocalTimeSource(&TestClock);
    // No per-user folder unless a test gives one: records never stray into the user's own.
    SetAppDataLookup(&NoAppData);
}

BOOL TestWriter::InitLogSettings() {
    m_dwLogMask = m_initMask;
    m_bLogEnabled = TRUE;
    return m_initResult;
}

TempDrive::TempDrive(const std::wstring& folder) : m_folder(folder) {
    const DWORD used = GetLogicalDrives();
    wchar_t letter = 0;
    for (wchar_t candidate = L'Y'; candidate >= L'M'; --candidate) {
        if (!(used & (1u << (candidate - L'A')))) {
            letter = candidate;
            break;
        }
    }
    if (!letter) {
        ADD_FAILURE() << "no free drive letter";
        return;
    }
    if (WineUnixNameFn unixName = WineUnixName()) {
        char* unixPath = unixName(folder.c_str());
        const bool ok = unixPath && WineMountDrive(letter, unixPath);
        HeapFree(GetProcessHeap(), 0, unixPath);
        if (!ok) {
            ADD_FAILURE() << "Wine's mount manager did not map a drive to " << Narrow(folder);
            return;
        }
        m_wine = true;
    } else {
        const wchar_t device[] = {letter, L':', 0};
        if (!DefineDosDeviceW(0, device, folder.c_str())) {
            ADD_FAILURE() << "DefineDosDeviceW failed: " << GetLastError();
            return;
        }
    }
    m_letter = letter;
}

TempDrive::~TempDrive() {
    if (!m_letter) {
        return;
    }
    if (m_wine) {
        EXPECT_TRUE(WineMountDrive(m_letter, nullptr)) << "drive not removed";
    } else {
        const wchar_t device[] = {m_letter, L':', 0};
        EXPECT_TRUE(DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, device,
                                     m_folder.c_str()));
    }
}

std::wstring DayLogPath(const std::wstring& logDir, const std::wstring& appName) {
    wchar_t date[16];
    swprintf(date, 16, L"_%04u-%02u-%02u.log", unsigned{g_testNow.wYear},
             unsigned{g_testNow.wMonth}, unsigned{g_testNow.wDay});
    return logDir + L"\\" + appName + date;
}

int* volatile g_nowhere = nullptr;
volatile int g_zero = 0;

void WriteThroughNull() {
    *static_cast<volatile int*>(g_nowhere) = 1;
}

void DivideByZero() {
    volatile int quotient = 1 / g_zero;
    (void)quotient;
}

std::string TestLogOf(const std::wstring& baseDir) {
    return ReadFileBytes(DayLogPath(baseDir + L"\\Log"));
}

size_t CountRecords(const std::string& log) {
    size_t count = 0;
    for (size_t at = log.find("[Exception]"); at != std::string::npos;
         at = log.find("[Exception]", at + 1)) {
        ++count;
    }
    return count;
}

std::vector<ULONG_PTR> RecordAddresses(const std::string& log) {
    static const std::string kMarker = "; Address: ";
    std::vector<ULONG_PTR> addresses;
    for (size_t at = log.find(kMarker); at != std::string::npos; at = log.find(kMarker, at + 1)) {
        const size_t start = at + kMarker.size();
        const size_t end = log.find("\r\n", start);
        const std::string digits = log.substr(start, end - start);
        if (digits.empty() || digits.find_first_not_of("0123456789abcdef") != std::string::npos) {
            ADD_FAILURE() << "not a lower-case hex address: '" << digits << "'";
            continue;
        }
        addresses.push_back(static_cast<ULONG_PTR>(std::stoull(digits, nullptr, 16)));
    }
    return addresses;
}

bool InModule(ULONG_PTR address, HMODULE module) {
    const auto base = reinterpret_cast<ULONG_PTR>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return module && address >= base && address < base + nt->OptionalHeader.SizeOfImage;
}

namespace {

DebugOutputCapture* g_capture = nullptr;

LONG CALLBACK CaptureDebugOutput(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    if (!g_capture || record.NumberParameters < 2) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    const ULONG_PTR length = record.ExceptionInformation[0];
    if (record.ExceptionCode == 0x4001000A) { // wide text
        const auto* text = reinterpret_cast<const wchar_t*>(record.ExceptionInformation[1]);
        g_capture->texts.emplace_back(text, length ? length - 1 : 0);
    } else if (record.ExceptionCode == 0x40010006) {
        const auto* text = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
        g_capture->texts.push_back(Widen(std::string(text, length ? length - 1 : 0)));
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

DebugOutputCapture::DebugOutputCapture() {
    g_capture = this;
    m_handler = AddVectoredExceptionHandler(1, &CaptureDebugOutput);
}

DebugOutputCapture::~DebugOutputCapture() {
    RemoveVectoredExceptionHandler(m_handler);
    g_capture = nullptr;
}

} // namespace lumivex::test
