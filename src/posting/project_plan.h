#pragma once

#include "compose/article.h"
#include "model/project.h"
#include "posting/posting_plan.h"

#include <string>
#include <vector>

// The articles of a project as the article builder makes them: the newsgroup batches are formed
// when the session asks for their number (after the connection is up), and each document's body
// is encoded while the client sends it.
class ProjectPostingPlan : public PostingPlan {
public:
    ProjectPostingPlan(const TProject& project, ArticleBuilder& builder)
        : m_project(project), m_builder(builder) {}

    int BatchCount() override;
    void ComposeBatch(int batch, const PostingSend& send) override;

private:
    const TProject& m_project;
    ArticleBuilder& m_builder;
    std::vector<std::vector<std::string>> m_batches;
};
