#pragma once
// Stopping points for the fault-injection tests.
//
// A store calls testHook("name") between two of its writes. In a normal run
// the environment variable VL_TEST_STOP_AT is not set and the call does
// nothing. When it names the point ("contract-store:lines", or
// "contract-store:lines#3" for the third time the point is reached), the
// process writes "VL_TEST_STOPPED <name> <pid>" on its standard error and
// stops itself (SIGSTOP) with its transaction open: the test then kills it
// (kill -9) or stops the database server and lets it go on (SIGCONT).
namespace vl::db {

void testHook(const char* name);

} // namespace vl::db
