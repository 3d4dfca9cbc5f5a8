#include "g2/Scene.h"

namespace G2 {

Scene::~Scene() = default;
void Scene::enter() {}
void Scene::leave() {}
bool Scene::update() {
    return true;
}
void Scene::afterUpdate() {}

} // namespace G2
