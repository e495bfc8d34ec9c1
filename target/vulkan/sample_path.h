#pragma once
// Sample names from debug labels. A sample's path is "#View/Layer/Context": the outer label is
// the view, the next the layer and the innermost the context, so two labels name the layer and
// the context alike and one label leaves the layer empty. Without labels a render pass is the
// view and the command the context; outside a render pass the command is the whole name.

#include <string>
#include <vector>

// nRenderPass 0: outside any render pass.
std::string SamplePath(const std::vector<std::string> &labels, unsigned nRenderPass, const char *pszCommand);

// The path of a sample recorded in a secondary command buffer that a primary executed under
// outerLabels: as if the primary's labels were the outer part of the secondary's own.
std::string PrefixSamplePath(const std::vector<std::string> &outerLabels, const std::string &sPath);
