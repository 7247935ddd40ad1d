#pragma once

#include <QString>

// Plain-string path operations, with the conventions the launcher relies on.
namespace kd::path {

// folder + "/" + component with exactly one separator between them.
QString appendComponent(const QString& folder, const QString& component);
// path + "." + extension.
QString appendExtension(const QString& path, const QString& extension);
// The path without its last component: "/a/b" -> "/a", "/a" -> "/", "a" -> "".
QString deleteLastComponent(const QString& path);
// "/a/b/" -> "b", "a" -> "a", "/" -> "/".
QString lastComponent(const QString& path);

} // namespace kd::path
