#pragma once
// Stand-ins for the driver's identification strings, so that tests can exercise the driver
// rules and the extension detection on whatever driver the machine has.

namespace Quorlix::Internal {

/// Replaces GL_VENDOR, GL_RENDERER, GL_VERSION and GL_EXTENSIONS as OpenGLAPI reads them; a
/// null text leaves that string to the driver. The texts must outlive their use; call again
/// with nulls to restore the driver's own.
void SetOpenGLDriverStrings(const char* vendor, const char* renderer, const char* version,
                            const char* extensions);

} // namespace Quorlix::Internal
