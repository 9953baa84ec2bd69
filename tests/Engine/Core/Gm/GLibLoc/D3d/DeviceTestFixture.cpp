#include "DeviceTestFixture.h"

std::unique_ptr<RecordingDirect3D> DeviceTest::s_direct3D;
std::vector<DWORD> DeviceTest::s_sleeps;
std::vector<std::string> DeviceTest::s_trace;
