// Runs a piece of the tool in-process and returns what it printed on standard output.
#ifndef VEMI_TEST_CAPTURE_STDOUT_H
#define VEMI_TEST_CAPTURE_STDOUT_H

#include <functional>
#include <string>

std::string CaptureStdout(const std::function<void()>& body);

#endif
