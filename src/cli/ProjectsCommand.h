#pragma once

#include <QStringList>

class CliContext;

// vantor-cli projects: one line per Project, "NAME URL".
int runProjectsCommand(CliContext& context, const QStringList& arguments);
