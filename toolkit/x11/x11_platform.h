// The X11 platform: frames become child windows of the host's X11 window.
#pragma once

class Platform;

// The process-wide X11 platform. Each window opens its own display connection.
Platform& x11Platform();
