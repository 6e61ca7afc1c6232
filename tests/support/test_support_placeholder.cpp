// Test helpers live in this folder; this file keeps the library non-empty until they do.
namespace bil::test {
int supportLinked() { return 1; }
} // namespace bil::test
