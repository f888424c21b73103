#pragma once
// The port map: which device a formatted port name such as "COM4" stands for.
//
//  1. a name that contains "/" is a path and is used as it is;
//  2. otherwise the name is looked up in the user's port folder,
//     $XDG_CONFIG_HOME/zarvo/ports/<name> (default ~/.config/zarvo/ports/<name>),
//     normally a symbolic link to the real device such as /dev/ttyUSB0;
//  3. otherwise COMn is /dev/ttyS{n-1}, so COM1 is /dev/ttyS0.
// A name that is none of these maps to its place in the port folder, where opening it
// then reports "not found" with that path. Pure functions; any thread.

#include <string>

// DeviceName formatted printf-style with PortNum: every integer conversion (%d, %i, %u,
// with flags and width) takes the number, "%%" is a percent sign, and anything else is
// copied as it stands, so that a name is never used as a format string.
std::string FormatDeviceName(const std::string& deviceName, int portNum);

// The folder of the user's port links.
std::string PortFolder();

// The path tried for a formatted name.
std::string PortPathFor(const std::string& formattedName);

// How messages name the device: "COM4 at /dev/ttyS3", with " -> target" for a port link,
// or the path alone when the name is one.
std::string DescribeDevice(const std::string& formattedName, const std::string& path);
