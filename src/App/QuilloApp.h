#pragma once

namespace quillo {

// The program's entry: one instance per user session, the desktop's services, the delegate.
namespace QuilloApp {

int main(int argc, char** argv);

} // namespace QuilloApp

} // namespace quillo
