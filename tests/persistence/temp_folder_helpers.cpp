#include "persistence/temp_folder_helpers.h"

#include <fstream>
#include <iterator>
#include <unistd.h>

void TempFolderTest::SetUp()
{
    const char* test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    folder = std::filesystem::temp_directory_path()
        / ("cantilo-" + std::to_string(::getpid()) + "-" + test);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
}

void TempFolderTest::TearDown() { std::filesystem::remove_all(folder); }

std::vector<unsigned char> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t u32At(const std::vector<unsigned char>& bytes, std::size_t at)
{
    return uint32_t {bytes[at]} | uint32_t {bytes[at + 1]} << 8 | uint32_t {bytes[at + 2]} << 16
        | uint32_t {bytes[at + 3]} << 24;
}

uint16_t u16At(const std::vector<unsigned char>& bytes, std::size_t at)
{
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}
