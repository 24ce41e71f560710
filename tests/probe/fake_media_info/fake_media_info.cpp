// A stand-in for the media-information library: answers from a table that
// the test fills, and records every call in order, so that tests can pin the
// texts the library never gives for real files (odd durations, empty sizes)
// and the exact sequence of queries.

#include <cstddef>
#include <map>
#include <string>
#include <utility>

namespace {

struct FakeState {
    std::map<std::pair<int, std::string>, std::string> answers;
    size_t counts[8] = {};
    size_t openResult = 1;
    std::string log;
    std::string answer; // the buffer a returned text lives in, as in the real library
};

FakeState& state()
{
    static FakeState s;
    return s;
}

int g_object = 0;

void record(const std::string& entry)
{
    state().log += entry;
    state().log += '\n';
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) void FakeMediaInfo_Reset() { state() = FakeState{}; }
__attribute__((visibility("default"))) void FakeMediaInfo_SetAnswer(int kind, const char* parameter, const char* value)
{
    state().answers[{kind, parameter}] = value;
}
__attribute__((visibility("default"))) void FakeMediaInfo_SetCount(int kind, size_t count)
{
    state().counts[kind & 7] = count;
}
__attribute__((visibility("default"))) void FakeMediaInfo_SetOpenResult(size_t result) { state().openResult = result; }
__attribute__((visibility("default"))) const char* FakeMediaInfo_Log() { return state().log.c_str(); }

__attribute__((visibility("default"))) void* MediaInfoA_New()
{
    record("New");
    return &g_object;
}
__attribute__((visibility("default"))) void MediaInfoA_Delete(void*) { record("Delete"); }
__attribute__((visibility("default"))) size_t MediaInfoA_Open(void*, const char* path)
{
    record(std::string("Open ") + path);
    return state().openResult;
}
__attribute__((visibility("default"))) void MediaInfoA_Close(void*) { record("Close"); }
__attribute__((visibility("default"))) const char* MediaInfoA_Inform(void*, size_t)
{
    record("Inform");
    return "";
}
__attribute__((visibility("default"))) const char* MediaInfoA_GetI(void*, int, size_t, size_t, int)
{
    record("GetI");
    return "";
}
__attribute__((visibility("default"))) const char* MediaInfoA_Get(void*, int kind, size_t number, const char* parameter,
                                                                  int info, int search)
{
    record("Get " + std::to_string(kind) + " " + std::to_string(number) + " " + parameter + " " + std::to_string(info)
           + " " + std::to_string(search));
    auto it = state().answers.find({kind, parameter});
    state().answer = it == state().answers.end() ? std::string() : it->second;
    return state().answer.c_str();
}
#ifndef FAKE_WITHOUT_OPTION
__attribute__((visibility("default"))) const char* MediaInfoA_Option(void*, const char*, const char*)
{
    record("Option");
    return "";
}
#endif
__attribute__((visibility("default"))) size_t MediaInfoA_State_Get(void*)
{
    record("State_Get");
    return 0;
}
#ifndef FAKE_WITHOUT_COUNT_GET
__attribute__((visibility("default"))) size_t MediaInfoA_Count_Get(void*, int kind, size_t number)
{
    record("Count " + std::to_string(kind) + " " + std::to_string(static_cast<long long>(number)));
    return state().counts[kind & 7];
}
#endif

} // extern "C"
